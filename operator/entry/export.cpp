// The module's one export. Built into the plug-in alone: everything it
// reaches lives in tileron_core.
#include "entry/tag_list.hpp"

extern "C" __attribute__((visibility("default"))) const OperatorTag *GetOperatorInfo(void) {
  return tileron::operatorInfo();
}
