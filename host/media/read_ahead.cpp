#include "host/media/read_ahead.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace vxhost {
namespace {

// Fields given again (past its end the input repeats its last frame's two
// fields) are asked of the clip directly, which keeps its last pictures:
// keeping their words here too would only cost memory.
constexpr int kRecentFields = 2;

class ReadAheadClip final : public ClipSource {
public:
  ReadAheadClip(std::shared_ptr<ClipSource> clip, const Format &format, int depth)
      : clip_(std::move(clip)), format_(format), fieldWords_(size_t(format.width) * size_t(format.height / 2)),
        depth_(std::max(depth, 1)), length_(clip_->length()), worker_([this] { work(); }) {}

  ~ReadAheadClip() override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
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
    if (number < 0 || number / 2 >= length_ || parity != fieldParity(format_, number) || isRecent(number)) {
      const std::lock_guard<std::mutex> lock(clipMutex_);
      const bool made = clip_->fieldAt(number, parity, out);
      noteFailure(clip_->takeFailure());
      return made;
    }
    Field given = take(number);
    const bool made = given.made;
    if (made)
      std::memcpy(out, given.words.data(), fieldWords_ * sizeof(uint32_t));
    noteFailure(std::move(given.failure));
    const std::exception_ptr error = given.error;
    recycle(std::move(given.words));
    if (error)
      std::rethrow_exception(error);
    return made;
  }

  std::string takeFailure() override { return std::exchange(failure_, {}); }

private:
  struct Field {
    int number = -1;
    bool made = false;
    std::string failure;
    std::exception_ptr error;
    std::vector<uint32_t> words;
  };

  void noteFailure(std::string failure) {
    if (!failure.empty())
      failure_ = std::move(failure);
  }

  // Whether `number` is one of the last fields given.
  bool isRecent(int number) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return number < lowest_ && number >= lowest_ - kRecentFields;
  }

  // Field `number` from the worker, restarting it there when the field is
  // not among those it is making.
  Field take(int number) {
    std::unique_lock<std::mutex> lock(mutex_);
    running_ = true;
    if (number < lowest_ || number > next_) {
      ++generation_;
      for (Field &stale : ready_)
        spare_.push_back(std::move(stale.words));
      ready_.clear();
      next_ = number;
    }
    lowest_ = number;
    for (;;) {
      while (!ready_.empty() && ready_.front().number < number) {
        spare_.push_back(std::move(ready_.front().words));
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

  void recycle(std::vector<uint32_t> words) {
    const std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(words));
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      // The buffers in use stay within depth_ + 2: the ready ones, the one
      // being made and the one being given.
      wake_.wait(lock, [this] {
        return stop_ || (running_ && int(ready_.size()) < depth_ && next_ / 2 < length_);
      });
      if (stop_)
        return;
      Field made;
      made.number = next_++;
      const int generation = generation_;
      if (spare_.empty()) {
        made.words.resize(fieldWords_);
      } else {
        made.words = std::move(spare_.back());
        spare_.pop_back();
      }
      lock.unlock();
      {
        const std::lock_guard<std::mutex> clipLock(clipMutex_);
        try {
          made.made = clip_->fieldAt(made.number, fieldParity(format_, made.number), made.words.data());
          made.failure = clip_->takeFailure();
        } catch (...) {
          made.error = std::current_exception();
        }
      }
      lock.lock();
      if (generation == generation_)
        ready_.push_back(std::move(made));
      else
        spare_.push_back(std::move(made.words));
      arrived_.notify_all();
    }
  }

  const std::shared_ptr<ClipSource> clip_;
  const Format format_;
  const size_t fieldWords_;
  const int depth_;
  const int length_;

  std::mutex clipMutex_; // held while clip_ is asked for anything

  std::mutex mutex_; // guards what follows, up to the worker
  std::condition_variable wake_, arrived_;
  std::deque<Field> ready_;                  // made, in field order, of this generation
  std::vector<std::vector<uint32_t>> spare_; // buffers to reuse
  int lowest_ = 0;      // fields from lowest_ to next_ - 1 are ready or being made
  int next_ = 0;        // the next field the worker makes
  int generation_ = 0;  // a restart makes what is being made stale
  bool running_ = false; // from the first fieldAt() on
  bool stop_ = false;

  std::string failure_;               // for takeFailure(), on the caller's thread
  std::vector<uint32_t> frameWords_;  // the frame frame() gave last
  std::thread worker_;                // last: starts once the rest is set up
};

} // namespace

std::shared_ptr<ClipSource> readAhead(std::shared_ptr<ClipSource> clip, const Format &format, int depth) {
  return std::make_shared<ReadAheadClip>(std::move(clip), format, depth);
}

int readAheadDepth(const Format &format, std::size_t clips, std::size_t budgetBytes) {
  constexpr std::size_t kLeast = 2, kMost = 8;
  const std::size_t fieldBytes = size_t(format.width) * size_t(format.height / 2) * sizeof(uint32_t);
  const std::size_t each = budgetBytes / std::max<std::size_t>(clips, 1) / std::max<std::size_t>(fieldBytes, 1);
  return int(std::clamp(each, kLeast, kMost));
}

} // namespace vxhost
