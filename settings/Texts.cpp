#include "settings/Texts.h"

#include <unordered_map>

namespace {

int gOffset = Texts::kEnglishOffset;

struct Entry {
  int number;
  const char* german;
  const char* english;
};

// The numbered texts the capture and recording core speak in.
const Entry kEntries[] = {
    {23, "Kein Titel verfügbar", "No title available"},
    {70,
     "Ihr System hat keinen Hochleistungszähler!\nDie Zeitmessung erfolgt daher mit etwa 55 Millisekunden\nstatt 8 "
     "Mikrosekunden Genauigkeit!!!\n",
     "Your system has no high performance counter!\nTherefore time measurement is done with about 55 "
     "milliseconds\ninstead of 8 microseconds accuracy!!!\n"},
    {205, "WARNUNG", "WARNING"},
    {801, "Systemzeitgeber zu langsam - Echtzeitaufzeichnung NICHT möglich!!!",
     "Systemtimer to slow - Realtime rceording NOT possible!!!"},
    {2000, "Fehler an der seriellen Schnittstelle", "Serial communication device error occurred"},
    {2010,
     "Der angeforderte COM-A-Port kann nicht initialisiert werden.\n\n\tBitte prüfen Sie die "
     "Schnittstelleneinstellungen!!!\n\nIhre COM-Port-Hardware unterstützt eventuell nicht alle Einstellungen. Diese "
     "können im Hardware-Handbuch oder in der Geräteverwaltung geprüft werden.\n",
     "The requested COM A port cannot be initialized.\n\n\tPlease check the port settings!!!\n\nYour COM port "
     "hardware may not support all settings. These can be checked in the hardware manual or in the Windows device "
     "manager.\n"},
    {2011,
     "Der angeforderte COM-Port kann nicht initialisiert werden.\n\n\tBitte prüfen Sie die "
     "Schnittstelleneinstellungen!!!\n\nIhre COM-Port-Hardware unterstützt eventuell nicht alle Einstellungen. Diese "
     "können im Hardware-Handbuch oder in der Geräteverwaltung geprüft werden.\n",
     "The requested COM port cannot be initialized.\n\n\tPlease check the port settings!!!\n\nYour COM port hardware "
     "may not support all settings. These can be checked in the hardware manual or in the Windows device "
     "manager.\n"},
    {2013, "Der benötigte COM-A-Port kann nicht geschlossen werden!\n\n\tBitte prüfen Sie Ihre "
           "Schnittstelleneinstellungen!!!\n",
     "The required COM A port can not be closed!\n\n\tPlease check your port settings!!!\n"},
    {2014, "Der benötigte COM-B-Port kann nicht geschlossen werden!\n\n\tBitte prüfen Sie Ihre "
           "Schnittstelleneinstellungen!!!\n",
     "The required COM B port can not be closed!\n\n\tPlease check your port settings!!!\n"},
    {2015, "Die Verbindung zum COM-Port ist abgerissen (Adapter entfernt?). Die Aufzeichnung wurde beendet.\n",
     "The connection to the COM port was lost (adapter removed?). Recording has been stopped.\n"},
    {2053,
     "Für die Verwendung von Vorlog benötigen Sie mindestens 2 COM-Ports.\n\nEine vollwertige Messung ist nicht "
     "möglich!\n",
     "You need at least 2 COM ports for the use of Vorlog.\n\nA fully qualified measurement is not possible!\n"},
    {3000, "Dateioperation", "File operation"},
    {3001, "Fehler beim Öffnen der Aufzeichnungsdatei!", "Error opening record file!"},
    {3002, "Fehler beim Anlegen der Aufzeichnungsdatei!", "Error creating record file!"},
    {3003, "Fehler beim Löschen der Aufzeichnungsdatei!", "Error deleting record file!"},
    {3004, "Fehler beim Schreiben der Aufzeichnungsdatei!", "Error writing record file!"},
    {4211, "T_", "T_"},
    {4212, "start", "start"},
    {4214, "T_", "T_"},
    {4215, "erkannt", "detected"},
    {4217, "T_", "T_"},
    {4218, "stop", "stop"},
    {4219, "E_0.angehängt", "E_0.appended"},
    {4220, "E_0.Benutzer-Stopp", "E_0.user stop"},
    {4221, "E_0.Benutzer-Start", "E_0.user start"},
    {4226, "Daten", "data"},
    {4227, "Signal", "signal"},
    {4228, "Fehler", "error"},
    {4229, "Timer", "timer"},
    {4230, "Inakt", "inact"},
    {4231, "debug", "debug"},
    {4314, "1", "1"},
    {4315, "1.5", "1.5"},
    {4316, "2", "2"},
    {4273, "MONITORBETRIEB", "MONITOR MODE"},
    {4274, "AUSWERTEBETRIEB", "EXAMINE MODE"},
    {8167, "BITTE WARTEN, AUSSTEHENDE DATEN WERDEN GELESEN...", "PLEASE WAIT, READING PENDING DATA..."},
};

const std::unordered_map<int, QString>& table() {
  static const std::unordered_map<int, QString> map = [] {
    std::unordered_map<int, QString> m;
    for (const Entry& e : kEntries) {
      m.emplace(e.number, QString::fromUtf8(e.german));
      m.emplace(e.number + Texts::kEnglishOffset, QString::fromUtf8(e.english));
    }
    return m;
  }();
  return map;
}

}  // namespace

namespace Texts {

void setLanguageOffset(int offset) { gOffset = offset == 0 ? 0 : kEnglishOffset; }
int languageOffset() { return gOffset; }

QString text(int n) {
  const auto& t = table();
  auto it = t.find(n + gOffset);
  return it == t.end() ? QString() : it->second;
}

}  // namespace Texts
