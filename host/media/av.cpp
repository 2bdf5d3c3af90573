#include "host/media/av.hpp"

#include <new>

namespace vxhost::av {

FramePtr makeFrame() {
  FramePtr frame(av_frame_alloc());
  if (!frame)
    throw std::bad_alloc();
  return frame;
}

PacketPtr makePacket() {
  PacketPtr packet(av_packet_alloc());
  if (!packet)
    throw std::bad_alloc();
  return packet;
}

std::string errorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

} // namespace vxhost::av
