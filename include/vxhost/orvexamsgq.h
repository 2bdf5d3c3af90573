/* orvexamsgq: message queues. */
#ifndef VXHOST_ORVEXAMSGQ_H
#define VXHOST_ORVEXAMSGQ_H

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

/* The message queue a requester reports to (for a request descriptor). */
uint32_t msgQCommandGet(void);

VX_EXTERN_C_END

#endif
