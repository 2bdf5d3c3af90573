// Requests: creqCreateRequest and creqDeleteRequest over the toolkit.
#include <algorithm>

#include "host/gui/toolkit.hpp"
#include "vxhost/orvexareq.h"

using namespace vxhost::gui;

extern "C" int32_t creqCreateRequest(RequestDescriptor *request) {
  if (!request)
    return -1;
  const Request *r = openRequest(request->width, request->height, request->flags, xcharText(request->title));
  if (!r)
    return -1;
  request->handle = r->handle;
  request->x = int16_t(r->frame.x);
  request->y = int16_t(r->frame.y);
  request->w = int16_t(r->frame.w);
  request->h = int16_t(r->frame.h);
  request->acceptId = r->acceptId;
  request->cancelId = r->cancelId;
  refreshHover();
  return 0;
}

extern "C" void creqDeleteRequest(RequestDescriptor *request) {
  if (!request || request->handle == 0)
    return;
  closeRequest(request->handle);
  request->handle = 0;
  refreshHover();
}
