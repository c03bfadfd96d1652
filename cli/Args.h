#pragma once
#include <QMap>
#include <QString>
#include <QStringList>

#include "settings/Texts.h"

// Options as "--name value", "--name=value" or a bare "--flag"; everything else is positional.
struct Args {
  QStringList positional;
  QMap<QString, QString> options;  // flag without value maps to ""
  QString error;

  // valued: options that take a value when given without '='.
  static Args parse(const QStringList& in, const QStringList& valued, const QStringList& flags) {
    Args a;
    for (int i = 0; i < in.size(); ++i) {
      const QString& s = in[i];
      if (!s.startsWith(QLatin1String("--"))) {
        a.positional << s;
        continue;
      }
      QString name = s.mid(2), value;
      const int eq = int(name.indexOf(QLatin1Char('=')));
      if (eq >= 0) {
        value = name.mid(eq + 1);
        name = name.left(eq);
        if (!valued.contains(name) && !flags.contains(name + QLatin1String("="))) {
          a.error = Texts::text(9419).arg(name);
          return a;
        }
      } else if (valued.contains(name)) {
        if (i + 1 >= in.size()) {
          a.error = Texts::text(9420).arg(name);
          return a;
        }
        value = in[++i];
      } else if (!flags.contains(name) && !flags.contains(name + QLatin1String("="))) {
        a.error = Texts::text(9421).arg(name);
        return a;
      }
      a.options[name] = value;
    }
    return a;
  }
  bool has(const QString& name) const { return options.contains(name); }
  QString value(const QString& name) const { return options.value(name); }
};
