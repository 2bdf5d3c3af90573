// Message queues. This host has one event source and one queue of GUI
// messages (host/gui): the queue ids below both name it, and
// cgMsgQReceive reads it whichever id a request was made with.
#include "host/msgq/msgq.hpp"

#include "vxhost/orvexamsgq.h"

extern "C" uint32_t msgQCommandGet(void) { return vxhost::msgq::kCommandQueue; }
