#include "host/media/write_behind.hpp"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace vxhost {

namespace {

struct FrameFields {
  OpImageHandle top, bottom;
};

const uint32_t *pixelsOf(const OpImageHandle &field) {
  return field ? reinterpret_cast<const uint32_t *>(field->pixels) : nullptr;
}

} // namespace

struct WriteBehind::Queue {
  explicit Queue(int depth) : depth(depth) {}
  const std::size_t depth;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<FrameFields> frames;
  bool closed = false;   // no more frames come
  bool busy = false;     // the thread is writing a frame taken off the queue
  std::exception_ptr error; // what the writer threw; the thread then stops writing
  std::thread thread;
};

WriteBehind::WriteBehind(std::unique_ptr<FrameWriter> writer, int depth) : writer_(std::move(writer)) {
  if (depth > 0) {
    queue_ = std::make_unique<Queue>(depth);
    queue_->thread = std::thread([this] { work(); });
  }
}

WriteBehind::~WriteBehind() {
  if (!queue_)
    return;
  {
    const std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->closed = true;
    queue_->frames.clear();
  }
  queue_->changed.notify_all();
  queue_->thread.join();
}

void WriteBehind::write(OpImageHandle top, OpImageHandle bottom) {
  if (!queue_) {
    writer_->writeFields(pixelsOf(top), pixelsOf(bottom));
    return;
  }
  std::unique_lock<std::mutex> lock(queue_->mutex);
  queue_->changed.wait(lock, [this] { return queue_->error || queue_->frames.size() < queue_->depth; });
  if (queue_->error)
    std::rethrow_exception(queue_->error);
  queue_->frames.push_back({std::move(top), std::move(bottom)});
  lock.unlock();
  queue_->changed.notify_all();
}

void WriteBehind::finish() {
  if (queue_) {
    std::unique_lock<std::mutex> lock(queue_->mutex);
    queue_->changed.wait(lock, [this] { return queue_->error || (queue_->frames.empty() && !queue_->busy); });
    if (queue_->error)
      std::rethrow_exception(queue_->error);
  }
  writer_->finish();
}

void WriteBehind::work() {
  std::unique_lock<std::mutex> lock(queue_->mutex);
  for (;;) {
    queue_->changed.wait(lock, [this] { return queue_->closed || !queue_->frames.empty(); });
    if (queue_->closed)
      return;
    FrameFields frame = std::move(queue_->frames.front());
    queue_->frames.pop_front();
    queue_->busy = true;
    lock.unlock();
    std::exception_ptr error;
    try {
      writer_->writeFields(pixelsOf(frame.top), pixelsOf(frame.bottom));
    } catch (...) {
      error = std::current_exception();
    }
    frame = {}; // released on this thread, before the next frame is taken
    lock.lock();
    queue_->busy = false;
    queue_->error = error;
    queue_->changed.notify_all();
    if (error)
      return;
  }
}

} // namespace vxhost
