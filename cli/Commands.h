#pragma once
#include <QCoreApplication>
#include <QStringList>
#include <memory>

int runPorts(const QStringList& args);
int runRecord(const QStringList& args);
int runTap(const QStringList& args);
int runInfo(const QStringList& args);
int runDump(const QStringList& args);
int runEnv(const QStringList& args);
int runSearch(const QStringList& args);
int runMeasure(const QStringList& args);
int runExport(const QStringList& args);
int runReport(const QStringList& args);
int runCheckUpdate(const QStringList& args);

// The application object: a plain core one, or for the report an offscreen Gui one.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv);
