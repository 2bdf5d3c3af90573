// The scene registry, the effect's input and the output field's receiver.
#include "host/scenes/registry.hpp"

#include <cstring>
#include <map>

#include "host/images/images.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

namespace {

struct Registry {
  std::map<int32_t, std::shared_ptr<FrameSource>> scenes;
  std::map<int32_t, std::string> sceneNames; // shown by the scene requester
  std::shared_ptr<FrameSource> input;
  int inputFetches = 0;
  std::function<void(OpImage *)> fieldSink;
};

Registry &registry() {
  static Registry state;
  return state;
}

class MemorySource final : public FrameSource {
public:
  explicit MemorySource(std::vector<std::vector<uint32_t>> frames) : frames_(std::move(frames)) {}
  int length() const override { return static_cast<int>(frames_.size()); }
  const uint32_t *frame(int index) override {
    if (index < 0 || index >= length())
      return nullptr;
    const Format &f = format();
    const std::vector<uint32_t> &frame = frames_[size_t(index)];
    // A frame of another size than the format's cannot be read as one.
    if (frame.size() != size_t(f.width) * size_t(f.height))
      return nullptr;
    return frame.data();
  }

private:
  std::vector<std::vector<uint32_t>> frames_;
};

} // namespace

bool FrameSource::field(int index, int parity, uint32_t *out) {
  const uint32_t *pixels = frame(index);
  if (!pixels)
    return false;
  const Format &f = format();
  const size_t width = size_t(f.width);
  for (int y = parity; y < f.height; y += 2, out += width)
    std::memcpy(out, pixels + size_t(y) * width, width * sizeof(uint32_t));
  return true;
}

std::shared_ptr<FrameSource> memorySource(std::vector<std::vector<uint32_t>> frames) {
  return std::make_shared<MemorySource>(std::move(frames));
}

void setScene(int32_t id, std::shared_ptr<FrameSource> source, std::string name) {
  Registry &r = registry();
  if (source) {
    r.scenes[id] = std::move(source);
    r.sceneNames[id] = std::move(name);
  } else {
    r.scenes.erase(id);
    r.sceneNames.erase(id);
  }
}

void clearScenes() {
  registry().scenes.clear();
  registry().sceneNames.clear();
}

void setInput(std::shared_ptr<FrameSource> source) { registry().input = std::move(source); }

int inputFetchCount() { return registry().inputFetches; }

void setFieldSink(std::function<void(OpImage *)> sink) { registry().fieldSink = std::move(sink); }

void resetScenes() { registry() = Registry{}; }

FrameSource *findScene(int32_t id) {
  const auto &scenes = registry().scenes;
  const auto it = scenes.find(id);
  return it == scenes.end() ? nullptr : it->second.get();
}

std::vector<RegisteredScene> listScenes() {
  const Registry &r = registry();
  std::vector<RegisteredScene> entries;
  for (const auto &[id, source] : r.scenes) {
    const auto name = r.sceneNames.find(id);
    entries.push_back({id, source.get(), name == r.sceneNames.end() ? std::string() : name->second});
  }
  return entries;
}

FrameSource *fetchInput() {
  Registry &r = registry();
  ++r.inputFetches;
  return r.input.get();
}

const std::function<void(OpImage *)> &fieldSink() { return registry().fieldSink; }

OpImage *sourceField(FrameSource &source, int32_t field) {
  if (field < 0 || field / 2 >= source.length())
    return nullptr;
  const Format &f = format();
  if (OpImage *made = source.madeField(field, fieldParity(f, field))) {
    made->pixelAspect = static_cast<uint16_t>(f.pixelAspect);
    return made;
  }
  // The source writes every row, so the image is not cleared first; it is
  // released on every way out but success, a throwing source included.
  OpImageHandle image(allocUnclearedImage(f.width, f.height / 2, OP_KIND_YUVA));
  if (!image || !source.fieldAt(field, fieldParity(f, field), reinterpret_cast<uint32_t *>(image->pixels)))
    return nullptr;
  image->pixelAspect = static_cast<uint16_t>(f.pixelAspect);
  return image.release();
}

} // namespace vxhost
