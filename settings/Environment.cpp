#include "settings/Environment.h"

// Placeholder until the reader and writer land.
Environment::Environment() : general(EnvGeneral::Count), customer(EnvCustomer::Count) {
  comA.device = 1;
  comB.device = 2;
}
