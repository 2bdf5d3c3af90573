#include "description.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace tileron::masktool {

namespace {

// Points around a curve: ellipses and hearts become polygons this fine.
constexpr int kCurveSegments = 720;

class Parser {
public:
  explicit Parser(const std::string &source) : source_(source) {}

  MaskDescription parse(const std::string &text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      ++lineNumber_;
      if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
      parseLine(line);
    }
    finish();
    return std::move(mask_);
  }

private:
  [[noreturn]] void fail(const std::string &what) const {
    throw std::runtime_error(source_ + ":" + std::to_string(lineNumber_) + ": " + what);
  }

  static std::vector<std::string> split(const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
  }

  double number(const std::string &word) const {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value))
      fail("'" + word + "' is not a number");
    return value;
  }

  int integer(const std::string &word, int low, int high) const {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size())
      fail("'" + word + "' is not a whole number");
    if (value < low || value > high)
      fail(word + " is outside " + std::to_string(low) + " to " + std::to_string(high));
    return value;
  }

  // The numbers words[first..], exactly `count` of them (count < 0: any).
  std::vector<double> numbers(const std::vector<std::string> &words, std::size_t first,
                              int count) const {
    const std::size_t have = words.size() - first;
    if (count >= 0 && have != static_cast<std::size_t>(count))
      fail("'" + words[0] + "' takes " + std::to_string(count) + " numbers");
    std::vector<double> values;
    for (std::size_t i = first; i < words.size(); ++i) values.push_back(number(words[i]));
    return values;
  }

  Polygon polygon(const std::vector<std::string> &words, std::size_t first) const {
    const std::vector<double> v = numbers(words, first, -1);
    if (v.size() < 6 || v.size() % 2 != 0) fail("a polygon takes three or more x y pairs");
    Polygon outline;
    for (std::size_t i = 0; i < v.size(); i += 2) outline.push_back({v[i], v[i + 1]});
    return outline;
  }

  // A shape after its keyword: polygon / ellipse / heart and their numbers.
  Polygon shape(const std::vector<std::string> &words, std::size_t at) const {
    if (at >= words.size()) fail("a shape is missing: polygon, ellipse or heart");
    const std::string &kind = words[at];
    if (kind == "polygon") return polygon(words, at + 1);
    if (kind == "ellipse" || kind == "heart") {
      const std::vector<double> v = numbers(words, at + 1, 4);
      if (v[2] <= 0 || v[3] <= 0) fail(kind + " sizes must be above 0");
      return kind == "ellipse" ? ellipseOutline(v[0], v[1], v[2], v[3], kCurveSegments)
                               : heartOutline(v[0], v[1], v[2], v[3], kCurveSegments);
    }
    fail("unknown shape '" + kind + "'");
  }

  PartDescription &currentPart() {
    if (mask_.parts.empty()) fail("'part' must come first");
    return mask_.parts.back();
  }

  void addBar(Point from, Point to) {
    if (mask_.bars.size() >= static_cast<std::size_t>(kMaxBars))
      fail("more than " + std::to_string(kMaxBars) + " bars");
    mask_.bars.push_back({from, to});
  }

  // Bars around a closed outline. Curves are followed by chords whose
  // corners sit a little outside the curve, so the chords straddle it.
  void addOutlineBars(const std::vector<std::string> &words) {
    if (words.size() < 2) fail("'bars' takes polygon, ellipse or heart");
    Polygon corners;
    if (words[1] == "polygon") {
      corners = polygon(words, 2);
    } else if (words[1] == "ellipse" || words[1] == "heart") {
      const std::vector<double> v = numbers(words, 2, 5);
      const int segments = integer(words[6], 3, kMaxBars);
      if (v[2] <= 0 || v[3] <= 0) fail(words[1] + " sizes must be above 0");
      corners = words[1] == "ellipse" ? ellipseOutline(v[0], v[1], v[2], v[3], segments)
                                      : heartOutline(v[0], v[1], v[2], v[3], segments);
      const double outward = 2.0 / (1.0 + std::cos(std::numbers::pi / segments));
      for (Point &p : corners) p = {v[0] + (p.x - v[0]) * outward, v[1] + (p.y - v[1]) * outward};
    } else {
      fail("unknown outline '" + words[1] + "'");
    }
    for (std::size_t i = 0; i < corners.size(); ++i) addBar(corners[i], corners[(i + 1) % corners.size()]);
  }

  void parseLine(const std::string &line) {
    const std::vector<std::string> words = split(line);
    if (words.empty()) return;
    const std::string &key = words[0];
    if (key == "size") {
      mask_.width = integer(at(words, 1), 16, 8192);
      mask_.height = integer(at(words, 2), 16, 8192);
      exactly(words, 3);
    } else if (key == "stamp") {
      mask_.stampWidth = integer(at(words, 1), 8, 1024);
      mask_.stampHeight = integer(at(words, 2), 8, 1024);
      exactly(words, 3);
    } else if (key == "soft") {
      mask_.soft = numbers(words, 1, 1)[0];
      if (mask_.soft < 0 || mask_.soft > 100) fail("soft must be 0 to 100 pixels");
    } else if (key == "title") {
      title(line, words);
    } else if (key == "part") {
      exactly(words, 1);
      if (mask_.parts.size() >= static_cast<std::size_t>(kMaxParts))
        fail("more than " + std::to_string(kMaxParts) + " parts");
      mask_.parts.push_back({});
      mask_.parts.back().line = lineNumber_;
    } else if (key == "polygon" || key == "ellipse" || key == "heart") {
      currentPart().shapes.push_back({shape(words, 0), false});
    } else if (key == "cut") {
      currentPart().shapes.push_back({shape(words, 1), true});
    } else if (key == "box") {
      const std::vector<double> v = numbers(words, 1, 4);
      if (v[2] <= 0 || v[3] <= 0) fail("a box must be wider and higher than 0");
      currentPart().box = Box{v[0], v[1], v[2], v[3]};
    } else if (key == "scale") {
      currentPart().scale = integer(at(words, 1), 10, 200);
      exactly(words, 2);
    } else if (key == "marker") {
      const std::vector<double> v = numbers(words, 1, 2);
      if (v[0] < 0 || v[0] > 1 || v[1] < 0 || v[1] > 1) fail("a marker must lie in the frame");
      currentPart().marker = Point{v[0], v[1]};
    } else if (key == "bar") {
      const std::vector<double> v = numbers(words, 1, 4);
      addBar({v[0], v[1]}, {v[2], v[3]});
    } else if (key == "bars") {
      addOutlineBars(words);
    } else {
      fail("unknown keyword '" + key + "'");
    }
  }

  const std::string &at(const std::vector<std::string> &words, std::size_t i) const {
    if (i >= words.size()) fail("'" + words[0] + "' is missing a value");
    return words[i];
  }

  void exactly(const std::vector<std::string> &words, std::size_t count) const {
    if (words.size() != count) fail("'" + words[0] + "' takes " + std::to_string(count - 1) + " values");
  }

  void title(const std::string &line, const std::vector<std::string> &words) {
    const std::string &language = at(words, 1);
    if (!std::all_of(language.begin(), language.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
      fail("a language is written in lower-case letters, e.g. english");
    // The title is the rest of the line as written, blanks trimmed.
    std::string text = line.substr(line.find(language, line.find("title") + 5) + language.size());
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t\r") + 1);
    if (text.empty()) fail("the title is empty");
    // The mask reader takes element contents as they stand: markup would end them.
    if (text.find_first_of("<>") != std::string::npos) fail("a title may not hold < or >");
    for (const auto &[known, unused] : mask_.titles)
      if (known == language) fail("a second " + language + " title");
    mask_.titles.emplace_back(language, text);
  }

  void finish() {
    if (mask_.parts.empty()) fail("no part");
    for (const PartDescription &part : mask_.parts) {
      const bool adds = std::any_of(part.shapes.begin(), part.shapes.end(),
                                    [](const Shape &s) { return !s.cut; });
      if (!adds) {
        lineNumber_ = part.line;
        fail("the part has no shape");
      }
    }
    const bool english = std::any_of(mask_.titles.begin(), mask_.titles.end(),
                                     [](const auto &t) { return t.first == "english"; });
    if (!english) fail("no english title (it is the one shown when a language has none)");
  }

  std::string source_;
  int lineNumber_ = 0;
  MaskDescription mask_;
};

} // namespace

MaskDescription parseDescription(const std::string &text, const std::string &source) {
  return Parser(source).parse(text);
}

Polygon ellipseOutline(double cx, double cy, double rx, double ry, int segments) {
  Polygon outline;
  for (int i = 0; i < segments; ++i) {
    const double angle = 2.0 * std::numbers::pi * i / segments;
    outline.push_back({cx + rx * std::cos(angle), cy + ry * std::sin(angle)});
  }
  return outline;
}

Polygon heartOutline(double cx, double cy, double width, double height, int segments) {
  // The classic heart curve, traced densely from the notch at the top, then
  // resampled at equal steps along its length (a tip at the half way).
  constexpr int kDense = 8192;
  Polygon dense;
  double top = 0, bottom = 0;
  for (int i = 0; i <= kDense; ++i) {
    const double t = 2.0 * std::numbers::pi * i / kDense;
    const double s = std::sin(t);
    const Point p{16 * s * s * s, -(13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) -
                                    std::cos(4 * t))};
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
    dense.push_back(p);
  }
  std::vector<double> length(dense.size(), 0.0);
  for (std::size_t i = 1; i < dense.size(); ++i)
    length[i] = length[i - 1] + std::hypot(dense[i].x - dense[i - 1].x, dense[i].y - dense[i - 1].y);
  Polygon outline;
  std::size_t j = 0;
  for (int i = 0; i < segments; ++i) {
    const double wanted = length.back() * i / segments;
    while (length[j + 1] < wanted) ++j;
    const double f = (wanted - length[j]) / (length[j + 1] - length[j]);
    const Point p{dense[j].x + f * (dense[j + 1].x - dense[j].x),
                  dense[j].y + f * (dense[j + 1].y - dense[j].y)};
    outline.push_back({cx + width * p.x / 32.0, cy + height * (p.y - (top + bottom) / 2) / (bottom - top)});
  }
  return outline;
}

} // namespace tileron::masktool
