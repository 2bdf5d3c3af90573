// Writing frames behind the render: a writer's encoding and muxing on a
// thread of its own, fed the rendered fields through a short queue.
#pragma once

#include <memory>

#include "host/images/images.hpp"
#include "host/media/output.hpp"

namespace vxhost {

class WriteBehind {
public:
  // Writes to `writer` on a thread of its own with up to `depth` frames
  // queued; with `depth` 0 every frame is written at once on the caller's thread.
  WriteBehind(std::unique_ptr<FrameWriter> writer, int depth);
  // Stops the thread without finishing: the writer's own destructor then
  // removes what it wrote. Queued frames are released.
  ~WriteBehind();
  WriteBehind(const WriteBehind &) = delete;
  WriteBehind &operator=(const WriteBehind &) = delete;

  // Queues the frame of these two fields (see FrameWriter::writeFields; a
  // null field gives black lines), waiting while the queue is full; the
  // images are released once written. Throws the OutputError (or other
  // exception) the writer met on an earlier frame.
  void write(OpImageHandle top, OpImageHandle bottom);
  // Writes what is queued and finishes the writer. Throws as write() does.
  void finish();

private:
  struct Queue;
  void work();

  std::unique_ptr<FrameWriter> writer_;
  std::unique_ptr<Queue> queue_; // null: written on the caller's thread
};

} // namespace vxhost
