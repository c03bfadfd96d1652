#pragma once
#include <QStringList>

int runPorts(const QStringList& args);
int runRecord(const QStringList& args);
int runInfo(const QStringList& args);
int runDump(const QStringList& args);
int runEnv(const QStringList& args);
int runSearch(const QStringList& args);
int runMeasure(const QStringList& args);
int runExport(const QStringList& args);
