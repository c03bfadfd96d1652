#pragma once
#include <QString>
#include <QStringList>

#include "settings/Environment.h"

class Ports;

// The parity code of a port list's letter ("N" and anything unknown: 0).
int parityCode(const QString& letter);

// Selects the environment's COM numbers and line settings in the port lists and
// initialises the interface. Both ports share one set of line settings: ComA's. What
// could not be applied is added to warnings, in words.
void applyEnvironmentPorts(const Environment& env, Ports& ports, QStringList* warnings);
// The ports as they are set now, for saving.
void takeEnvironmentPorts(const Ports& ports, int comA, int comB, Environment& env);
