#include "dialogs/forms_look.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace zeph {

namespace {

// "a|b|" gives "a", "b" and ""; the empty text gives nothing.
std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  size_t from = 0;
  for (size_t at; (at = text.find(sep, from)) != std::string::npos; from = at + 1) {
    parts.push_back(text.substr(from, at - from));
  }
  parts.push_back(text.substr(from));
  return parts;
}

bool ToInt(const std::string& s, int lo, int hi, int* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

std::optional<Rgb> ToRgb(const std::string& s) {
  const auto parts = Split(s, ',');
  int c[3];
  if (parts.size() != 3) return std::nullopt;
  for (int i = 0; i < 3; ++i) {
    if (!ToInt(parts[i], 0, 255, &c[i])) return std::nullopt;
  }
  return Rgb{static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2])};
}

}  // namespace

FormsLook ParseFormsLook(const std::string& text) {
  FormsLook look;
  const auto fields = Split(text, '|');
  if (fields.empty()) return look;
  look.caption = look.name = fields[0];
  for (size_t i = 1; i < fields.size(); ++i) {
    const std::string& f = fields[i];
    const size_t eq = f.find('=');
    const std::string key = f.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : f.substr(eq + 1);
    if (key == "fore") {
      look.fore = ToRgb(value);
    } else if (key == "back") {
      look.back = ToRgb(value);
    } else if (key == "font") {
      const auto parts = Split(value, ',');
      int points, weight, charset;
      if (parts.size() == 4 && !parts[0].empty() && ToInt(parts[1], 1, 400, &points) &&
          ToInt(parts[2], 0, 1000, &weight) && ToInt(parts[3], 0, 255, &charset)) {
        look.fontFace = parts[0];
        look.fontPoints = points;
        look.fontWeight = weight;
        look.fontCharset = charset;
      }
    } else if (key == "name") {
      look.name = value;
    } else if (key == "pic") {
      ToInt(value, 1, 65535, &look.picture);
    } else if (key == "wmf") {
      ToInt(value, 1, 65535, &look.metafile);
    } else if (key == "place") {
      if (value == "right") look.place = PicturePlace::kRight;
      if (value == "above") look.place = PicturePlace::kAbove;
    } else if (key == "border") {
      look.border = true;
    }
  }
  return look;
}

ButtonLayout LayoutButton(const Box& c, int picW, int picH, int textW, int textH, PicturePlace place) {
  const bool pic = picW > 0 && picH > 0;
  const bool text = textW > 0 && textH > 0;
  if (!pic) picW = picH = 0;
  if (!text) textW = textH = 0;
  ButtonLayout out{};
  if (place == PicturePlace::kRight) {
    const int w = textW + picW;
    const int h = std::max(textH, picH);
    const int left = c.left + (c.Width() - w) / 2;
    const int bottom = c.top + (c.Height() - h) / 2 + h;
    out.caption = {left, bottom - textH, left + textW, bottom};
    out.picture = {left + textW, bottom - picH, left + textW + picW, bottom};
  } else {
    const int h = picH + textH;
    const int top = c.top + (c.Height() - h) / 2;
    const int picLeft = c.left + (c.Width() - picW) / 2;
    const int textLeft = c.left + (c.Width() - textW) / 2;
    out.picture = {picLeft, top, picLeft + picW, top + picH};
    out.caption = {textLeft, top + picH, textLeft + textW, top + picH + textH};
  }
  return out;
}

Box ZoomToFit(const Box& area, int contentW, int contentH) {
  if (contentW <= 0 || contentH <= 0 || area.Width() <= 0 || area.Height() <= 0) return {0, 0, 0, 0};
  int w = area.Width();
  int h = static_cast<int>(static_cast<long long>(w) * contentH / contentW);
  if (h > area.Height()) {
    h = area.Height();
    w = static_cast<int>(static_cast<long long>(h) * contentW / contentH);
  }
  const int left = area.left + (area.Width() - w) / 2;
  const int top = area.top + (area.Height() - h) / 2;
  return {left, top, left + w, top + h};
}

}  // namespace zeph
