#include "platform/pumps.h"

namespace {
int g_yieldCounter = 0;
}

bool YieldWhileCycling(bool force) {
  ++g_yieldCounter;
  if (g_yieldCounter <= 1000 && !force) return false;
  g_yieldCounter = 0;
  return true;
}

void PaintPump() {}
