/* logger: the host's log. */
#ifndef VXHOST_LOGGER_H
#define VXHOST_LOGGER_H

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

/* The fixed code word every operator report carries. */
#define VX_LOG_CODE 0x6A30000u

/* Appends one record "level<TAB>source<TAB>line<TAB>0x<code hex><TAB>text" to
 * the log file ($VXHOST_LOG, default $VXHOME/log/vxhost.log); text is format
 * expanded printf-style with the remaining arguments. Never fails visibly. */
void loggerMessage(int32_t level, int32_t line, const char *source, uint32_t code,
                   const char *format, ...);

VX_EXTERN_C_END

#endif
