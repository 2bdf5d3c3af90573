#include "host/media/read_ahead.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "host/images/image_pool.hpp"
#include "host/images/images.hpp"

namespace vxhost {
namespace {

// Fields given again (past its end the input repeats its last frame's two
// fields) are asked of the clip directly, which keeps its last pictures:
// keeping their words here too would only cost memory.
constexpr int kRecentFields = 2;

class ReadAheadClip final : public ClipSource {
public:
  ReadAheadClip(std::shared_ptr<ClipSource> clip, const Format &format, int depth, int first, int last)
      : clip_(std::move(clip)), format_(format), fieldWords_(size_t(format.width) * size_t(format.height / 2)),
        depth_(std::max(depth, 1)), length_(clip_->length()),
        end_(int(std::min<int64_t>({int64_t{last} + 1, 2 * int64_t{length_}, INT32_MAX}))),
        readsAtOnce_(first >= 0), lowest_(std::max(first, 0)), next_(lowest_), worker_([this] { work(); }) {}

  ~ReadAheadClip() override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
    for (Field &field : ready_)
      givePixels(field.pixels);
    if (unclaimed_)
      givePixels(unclaimed_->pixels);
  }

  int length() const override { return length_; }

  const uint32_t *frame(int index) override {
    const std::lock_guard<std::mutex> lock(clipMutex_);
    const uint32_t *pixels = clip_->frame(index);
    noteFailure(clip_->takeFailure());
    if (!pixels)
      return nullptr;
    frameWords_.assign(pixels, pixels + 2 * fieldWords_);
    return frameWords_.data();
  }

  bool field(int index, int parity, uint32_t *out) override {
    const std::lock_guard<std::mutex> lock(clipMutex_);
    const bool made = clip_->field(index, parity, out);
    noteFailure(clip_->takeFailure());
    return made;
  }

  bool fieldAt(int number, int parity, uint32_t *out) override {
    if (unclaimed_ && unclaimed_->number == number) {
      Field given = std::move(*unclaimed_);
      unclaimed_.reset();
      return deliver(given, out);
    }
    if (!readsAhead(number, parity)) {
      const std::lock_guard<std::mutex> lock(clipMutex_);
      const bool made = clip_->fieldAt(number, parity, out);
      noteFailure(clip_->takeFailure());
      return made;
    }
    Field given = take(number);
    return deliver(given, out);
  }

  // The field's own buffer becomes the image: no copy. A field that was not
  // made waits for the fieldAt() call that follows, which reports it.
  OpImage *madeField(int number, int parity) override {
    if (!readsAhead(number, parity))
      return nullptr;
    Field given = take(number);
    if (!given.made || given.error) {
      givePixels(std::exchange(given.pixels, nullptr)); // nothing in them to copy
      unclaimed_ = std::move(given);
      return nullptr;
    }
    noteFailure(std::move(given.failure));
    // Null only when out of memory: fieldAt() then asks the clip itself.
    return adoptPixels(std::exchange(given.pixels, nullptr), format_.width, format_.height / 2, OP_KIND_YUVA);
  }

  std::string takeFailure() override { return std::exchange(failure_, {}); }

private:
  struct Field {
    int number = -1;
    bool made = false;
    std::string failure;
    std::exception_ptr error;
    uint8_t *pixels = nullptr; // from the image pool; given back by whoever ends up with it
  };

  void noteFailure(std::string failure) {
    if (!failure.empty())
      failure_ = std::move(failure);
  }

  // Copies a field taken from the worker to `out`, gives its buffer back and
  // reports it as the clip would have.
  bool deliver(Field &given, uint32_t *out) {
    if (given.made)
      std::memcpy(out, given.pixels, fieldWords_ * sizeof(uint32_t));
    givePixels(std::exchange(given.pixels, nullptr));
    noteFailure(std::move(given.failure));
    if (given.error)
      std::rethrow_exception(given.error);
    return given.made;
  }

  // Whether field `number` comes from the worker: a field of the clip, of
  // the parity the format gives it, not one of the last ones given (asked
  // of the clip itself).
  bool readsAhead(int number, int parity) {
    if (number < 0 || number >= end_ || parity != fieldParity(format_, number))
      return false;
    const std::lock_guard<std::mutex> lock(mutex_);
    return !(number < lowest_ && number >= lowest_ - kRecentFields);
  }

  // Field `number` from the worker, restarting it there when the field is
  // not among those it is making.
  Field take(int number) {
    std::unique_lock<std::mutex> lock(mutex_);
    asked_ = true;
    if (number < lowest_ || number > next_) {
      ++generation_;
      for (Field &stale : ready_)
        givePixels(stale.pixels);
      ready_.clear();
      next_ = number;
    }
    lowest_ = number;
    for (;;) {
      while (!ready_.empty() && ready_.front().number < number) {
        givePixels(ready_.front().pixels);
        ready_.pop_front();
      }
      if (!ready_.empty())
        break;
      wake_.notify_all();
      arrived_.wait(lock);
    }
    Field wanted = std::move(ready_.front());
    ready_.pop_front();
    lowest_ = number + 1;
    lock.unlock();
    wake_.notify_all();
    return wanted;
  }

  void work() {
    const size_t fieldBytes = fieldWords_ * sizeof(uint32_t);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      // Fields in the worker's hands stay within depth_ + 1: the ready ones
      // and the one being made. Started before the first ask, it makes only
      // the first field until then: a scene no part shows holds one field.
      wake_.wait(lock, [this] {
        return stop_ || ((readsAtOnce_ || asked_) && int(ready_.size()) < (asked_ ? depth_ : 1) && next_ < end_);
      });
      if (stop_)
        return;
      Field made;
      made.number = next_++;
      const int generation = generation_;
      lock.unlock();
      made.pixels = takePixels(fieldBytes, false);
      if (!made.pixels) {
        made.failure = "out of memory for field " + std::to_string(made.number);
      } else {
        const std::lock_guard<std::mutex> clipLock(clipMutex_);
        try {
          made.made = clip_->fieldAt(made.number, fieldParity(format_, made.number),
                                     reinterpret_cast<uint32_t *>(made.pixels));
          made.failure = clip_->takeFailure();
        } catch (...) {
          made.error = std::current_exception();
        }
      }
      lock.lock();
      if (generation == generation_)
        ready_.push_back(std::move(made));
      else
        givePixels(made.pixels);
      arrived_.notify_all();
    }
  }

  const std::shared_ptr<ClipSource> clip_;
  const Format format_;
  const size_t fieldWords_;
  const int depth_;
  const int length_;
  const int end_; // fields from here on are not read ahead: past the clip or the render
  const bool readsAtOnce_; // from the first field given, before anything is asked

  std::mutex clipMutex_; // held while clip_ is asked for anything

  std::mutex mutex_; // guards what follows, up to the worker
  std::condition_variable wake_, arrived_;
  std::deque<Field> ready_; // made, in field order, of this generation
  int lowest_ = 0;          // fields from lowest_ to next_ - 1 are ready or being made
  int next_ = 0;            // the next field the worker makes
  int generation_ = 0;      // a restart makes what is being made stale
  bool asked_ = false;      // a field was asked for: reading starts then, unless readsAtOnce_
  bool stop_ = false;

  // On the caller's thread:
  std::optional<Field> unclaimed_;   // a field madeField() could not give, for fieldAt()
  std::string failure_;              // for takeFailure()
  std::vector<uint32_t> frameWords_; // the frame frame() gave last
  std::thread worker_;               // last: starts once the rest is set up
};

} // namespace

std::shared_ptr<ClipSource> readAhead(std::shared_ptr<ClipSource> clip, const Format &format, int depth, int first,
                                      int last) {
  return std::make_shared<ReadAheadClip>(std::move(clip), format, depth, first, last);
}

int readAheadDepth(const Format &format, std::size_t clips, std::size_t budgetBytes) {
  constexpr std::size_t kLeast = 2, kMost = 8;
  const std::size_t fieldBytes = size_t(format.width) * size_t(format.height / 2) * sizeof(uint32_t);
  const std::size_t each = budgetBytes / std::max<std::size_t>(clips, 1) / std::max<std::size_t>(fieldBytes, 1);
  return int(std::clamp(each, kLeast, kMost));
}

} // namespace vxhost
