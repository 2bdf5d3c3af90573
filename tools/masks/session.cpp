#include "session.hpp"

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "engine/split_mask.hpp"
#include "entry/entry.hpp"
#include "entry/module.hpp"
#include "masks/xml.hpp"
#include "vxhost/xchar.h"

namespace tileron::maskstool {

namespace {

// Marker positions do not depend on the working size; the smallest one the
// loader takes keeps the shape images it reads on the way small.
constexpr int kStampGeometryWidth = 64, kStampGeometryHeight = 64;

int32_t send(uint16_t type) {
  OperatorMessage message{};
  message.type = type;
  return operatorEntry(&message);
}

} // namespace

OperatorSession::OperatorSession() {
  if (send(OP_MSG_LOAD) != 0 || moduleState().catalogue == nullptr) {
    send(OP_MSG_UNLOAD);
    throw std::runtime_error("the operator's load message failed (its reports are in the host log)");
  }
}

OperatorSession::~OperatorSession() { send(OP_MSG_UNLOAD); }

MaskCatalogue &OperatorSession::catalogue() const { return *moduleState().catalogue; }

int countParts(const std::string &path) {
  XmlDocumentPtr document(xmlReadFile(path.c_str()));
  if (!document) return 0;
  XmlElementListPtr screens(xmlGetElements(document->text, "splitscreen"));
  if (!screens || screens->count != 1) return 0;
  XmlElementListPtr parts(xmlGetElements(screens->entries[0], "part"));
  int count = 0;
  for (int i = 0; parts && i < std::min<int>(parts->count, kMaxParts); ++i)
    count += XmlElementListPtr(xmlGetElements(parts->entries[i], "filename")) != nullptr;
  return count;
}

std::string shortName(const std::string &path) {
  constexpr std::string_view folder = "/programs/tileron/mask/", extension = ".xml";
  std::string name = path;
  if (name.rfind(folder, 0) == 0) name.erase(0, folder.size());
  if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
    name.resize(name.size() - extension.size());
  return name;
}

std::vector<std::pair<int, int>> partMarkers(const std::string &path) {
  SplitMask state;
  state.maskPath = path;
  std::vector<std::pair<int, int>> markers;
  if (!state.setGeometry(kStampGeometryWidth, kStampGeometryHeight, true, false) || !state.loadMask(true))
    return markers;
  for (int i = 0; i < std::min<int>(state.partCount, kMaxParts); ++i)
    markers.emplace_back(state.partStampX[i], state.partStampY[i]);
  return markers;
}

std::string titleText(const MaskInfo &entry) {
  if (entry.title.empty()) return {};
  std::string text(3 * entry.title.size() + 1, '\0');
  text.resize(static_cast<std::size_t>(xscpy(text.data(), entry.title.data())));
  return text;
}

} // namespace tileron::maskstool
