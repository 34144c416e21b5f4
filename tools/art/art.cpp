// Drawing and encoding of the artwork. Integer arithmetic throughout (the shapes are tested at
// pixel centres with exact half-integer coordinates), so the bytes never depend on the machine.
#include "art.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace art {

namespace {

// --- colours ------------------------------------------------------------------------------

constexpr Rgb kBlack = {0, 0, 0};
constexpr Rgb kDarkShadow = {64, 64, 64};
constexpr Rgb kShadow = {128, 128, 128};
constexpr Rgb kFace = {192, 192, 192};
constexpr Rgb kLight = {223, 223, 223};
constexpr Rgb kWhite = {255, 255, 255};
constexpr Rgb kBlue = {0, 0, 255};
constexpr Rgb kFieldTop = {166, 202, 240};
constexpr Rgb kFieldBottom = {235, 243, 251};
constexpr Rgb kFlatField = {204, 204, 204};

// The 16 standard colours, in the order of the standard 16-colour palette.
const std::vector<Rgb> kStandard16 = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

std::uint8_t Mix(std::uint8_t a, std::uint8_t b, int i, int n) {
  return static_cast<std::uint8_t>((a * (n - i) + b * i + n / 2) / n);
}

Rgb Mix(Rgb a, Rgb b, int i, int n) {
  return {Mix(a.r, b.r, i, n), Mix(a.g, b.g, i, n), Mix(a.b, b.b, i, n)};
}

// --- the popup's name, in a small bold font of capitals 11 pixels high --------------------

constexpr int kGlyphRows = 11;
constexpr int kGlyphGap = 2;

const std::map<char, std::vector<std::string>>& Font() {
  static const std::map<char, std::vector<std::string>> font = {
      {'C', {"..#####.",
             ".#######",
             "###...##",
             "##......",
             "##......",
             "##......",
             "##......",
             "##......",
             "###...##",
             ".#######",
             "..#####."}},
      {'E', {"#######",
             "#######",
             "##.....",
             "##.....",
             "######.",
             "######.",
             "##.....",
             "##.....",
             "##.....",
             "#######",
             "#######"}},
      {'I', {"##", "##", "##", "##", "##", "##", "##", "##", "##", "##", "##"}},
      {'N', {"##....##",
             "###...##",
             "###...##",
             "####..##",
             "##.##.##",
             "##.##.##",
             "##..####",
             "##...###",
             "##...###",
             "##....##",
             "##....##"}},
      {'R', {"######..",
             "#######.",
             "##...###",
             "##....##",
             "##...###",
             "#######.",
             "######..",
             "##..##..",
             "##..###.",
             "##...###",
             "##....##"}},
      {'T', {"########",
             "########",
             "...##...",
             "...##...",
             "...##...",
             "...##...",
             "...##...",
             "...##...",
             "...##...",
             "...##...",
             "...##..."}},
      {'U', {"##....##",
             "##....##",
             "##....##",
             "##....##",
             "##....##",
             "##....##",
             "##....##",
             "##....##",
             "###..###",
             ".######.",
             "..####.."}},
  };
  return font;
}

// Writes text with its top left corner at (x, y); a white shadow one pixel down and right
// lifts the letters off the field.
void DrawName(Image& image, const std::string& text, int x, int y, Rgb ink) {
  std::vector<bool> mask(static_cast<std::size_t>(image.width) * image.height, false);
  int at = x;
  for (char c : text) {
    const std::vector<std::string>& glyph = Font().at(c);
    for (int row = 0; row < kGlyphRows; ++row)
      for (int col = 0; col < static_cast<int>(glyph[row].size()); ++col)
        if (glyph[row][col] == '#') mask[static_cast<std::size_t>(y + row) * image.width + at + col] = true;
    at += static_cast<int>(glyph[0].size()) + kGlyphGap;
  }
  auto inked = [&](int px, int py) {
    return px >= 0 && py >= 0 && px < image.width && py < image.height &&
           mask[static_cast<std::size_t>(py) * image.width + px];
  };
  for (int py = 0; py < image.height; ++py)
    for (int px = 0; px < image.width; ++px) {
      if (inked(px, py))
        image.at(px, py) = ink;
      else if (inked(px - 1, py - 1))
        image.at(px, py) = kWhite;
    }
}

// --- the popup's background ---------------------------------------------------------------

constexpr int kPopupWidth = 300;
constexpr int kPopupHeight = 85;
constexpr int kFrame = 5;
constexpr int kNameX = 9;
constexpr int kNameY = 8;

// Ring k of the frame, counted from the outside: the colour of its top and left sides, and of
// its bottom and right sides. Raised outside, a flat middle, sunken inside.
struct Ring {
  Rgb topLeft, bottomRight;
};
constexpr Ring kRings[kFrame] = {{kLight, kDarkShadow},
                                 {kWhite, kShadow},
                                 {kFace, kFace},
                                 {kShadow, kWhite},
                                 {kDarkShadow, kLight}};

}  // namespace

Image::Image(int w, int h, Rgb fill)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

Image PopupBackground(bool flatField) {
  Image image(kPopupWidth, kPopupHeight);
  int fieldRows = kPopupHeight - 2 * kFrame;
  for (int y = 0; y < kPopupHeight; ++y)
    for (int x = 0; x < kPopupWidth; ++x) {
      int ring = std::min({x, y, kPopupWidth - 1 - x, kPopupHeight - 1 - y});
      if (ring < kFrame) {
        bool bottomRight = x == kPopupWidth - 1 - ring || y == kPopupHeight - 1 - ring;
        image.at(x, y) = bottomRight ? kRings[ring].bottomRight : kRings[ring].topLeft;
      } else {
        image.at(x, y) =
            flatField ? kFlatField : Mix(kFieldTop, kFieldBottom, y - kFrame, fieldRows - 1);
      }
    }
  DrawName(image, "TUNECRIER", kNameX, kNameY, kBlue);
  return image;
}

// --- the tray icon ------------------------------------------------------------------------

namespace {

constexpr int kIconPixels = 32;

// Shapes in doubled coordinates, so that pixel centres (x + 0.5) are whole numbers.
bool InRoundRect(int px2, int py2, int left, int top, int right, int bottom, int radius) {
  int l = 2 * left, t = 2 * top, r = 2 * right, b = 2 * bottom, rad = 2 * radius;
  if (px2 < l || px2 > r || py2 < t || py2 > b) return false;
  int cx = std::clamp(px2, l + rad, r - rad);
  int cy = std::clamp(py2, t + rad, b - rad);
  return (px2 - cx) * (px2 - cx) + (py2 - cy) * (py2 - cy) <= rad * rad;
}

int Side(int ax, int ay, int bx, int by, int px, int py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

bool InTriangle(int px2, int py2, const int (&v)[6]) {
  int a = Side(2 * v[0], 2 * v[1], 2 * v[2], 2 * v[3], px2, py2);
  int b = Side(2 * v[2], 2 * v[3], 2 * v[4], 2 * v[5], px2, py2);
  int c = Side(2 * v[4], 2 * v[5], 2 * v[0], 2 * v[1], px2, py2);
  return (a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0);
}

// The bubble: a rounded body and a tail that points down to the left.
constexpr int kBodyLeft = 1, kBodyTop = 2, kBodyRight = 31, kBodyBottom = 24, kBodyRadius = 7;
constexpr int kTail[6] = {6, 20, 17, 20, 4, 30};

bool InBubble(int x, int y) {
  int px2 = 2 * x + 1, py2 = 2 * y + 1;
  return InRoundRect(px2, py2, kBodyLeft, kBodyTop, kBodyRight, kBodyBottom, kBodyRadius) ||
         InTriangle(px2, py2, kTail);
}

bool InLetter(int x, int y) {
  bool bar = x >= 8 && x <= 23 && y >= 6 && y <= 9;
  bool stem = x >= 14 && x <= 17 && y >= 6 && y <= 20;
  return bar || stem;
}

}  // namespace

Image TrayPicture(bool fewColours) {
  Image image(kIconPixels, kIconPixels, kBlack);
  image.opaque.assign(static_cast<std::size_t>(kIconPixels) * kIconPixels, false);
  auto inside = [](int x, int y) {
    return x >= 0 && y >= 0 && x < kIconPixels && y < kIconPixels && InBubble(x, y);
  };
  Rgb outline = fewColours ? kBlack : Rgb{72, 72, 72};
  for (int y = 0; y < kIconPixels; ++y)
    for (int x = 0; x < kIconPixels; ++x) {
      if (!inside(x, y)) continue;
      image.opaque[static_cast<std::size_t>(y) * kIconPixels + x] = true;
      bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
      bool highlight = !edge && (!inside(x - 1, y - 1) || !inside(x, y - 2)) && y < 12;
      Rgb fill = fewColours ? kFace : Mix(Rgb{238, 238, 238}, Rgb{168, 168, 168}, y, kIconPixels);
      if (edge)
        image.at(x, y) = outline;
      else if (InLetter(x, y))
        image.at(x, y) = kBlue;
      else if (highlight)
        image.at(x, y) = kWhite;
      else
        image.at(x, y) = fill;
    }
  return image;
}

// --- encoding -------------------------------------------------------------------------------

namespace {

void Put16(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void PutBig32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

int Stride(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

void PutInfoHeader(Bytes& out, int width, int height, int bits, std::uint32_t imageSize,
                   std::uint32_t coloursUsed) {
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(bits));
  Put32(out, 0);  // no compression
  Put32(out, imageSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, coloursUsed);
  Put32(out, 0);
}

void PutPalette(Bytes& out, const std::vector<Rgb>& palette, std::size_t entries) {
  for (std::size_t i = 0; i < entries; ++i) {
    Rgb c = i < palette.size() ? palette[i] : kBlack;
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
}

// The palette index of each pixel; colours missing from the palette take its nearest entry.
std::uint8_t IndexOf(const std::vector<Rgb>& palette, Rgb c) {
  std::size_t best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    long dr = c.r - palette[i].r, dg = c.g - palette[i].g, db = c.b - palette[i].b;
    long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return static_cast<std::uint8_t>(best);
}

// The image's colours in order of first appearance, top row first.
std::vector<Rgb> ColoursOf(const Image& image) {
  std::vector<Rgb> colours;
  for (const Rgb& c : image.pixels)
    if (std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
  return colours;
}

// Rows bottom up, as bitmaps keep them.
Bytes PixelRows(const Image& image, int bits, const std::vector<Rgb>& palette) {
  Bytes rows;
  int stride = Stride(image.width, bits);
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(static_cast<std::size_t>(stride), 0);
    for (int x = 0; x < image.width; ++x) {
      Rgb c = image.at(x, y);
      if (!image.opaque.empty() && !image.opaque[static_cast<std::size_t>(y) * image.width + x])
        c = kBlack;  // under a transparent mask bit the colour must be black
      if (bits == 24) {
        row[x * 3 + 0] = c.b;
        row[x * 3 + 1] = c.g;
        row[x * 3 + 2] = c.r;
      } else if (bits == 8) {
        row[x] = IndexOf(palette, c);
      } else {
        std::uint8_t index = IndexOf(palette, c);
        row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
      }
    }
    rows.insert(rows.end(), row.begin(), row.end());
  }
  return rows;
}

Bytes MaskRows(const Image& image) {
  Bytes rows;
  int stride = Stride(image.width, 1);
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(static_cast<std::size_t>(stride), 0);
    for (int x = 0; x < image.width; ++x)
      if (!image.opaque[static_cast<std::size_t>(y) * image.width + x])
        row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    rows.insert(rows.end(), row.begin(), row.end());
  }
  return rows;
}

Bytes BitmapFile(const Image& image, int bits, const std::vector<Rgb>& palette) {
  std::size_t entries = bits == 8 ? 256 : 0;
  Bytes pixels = PixelRows(image, bits, palette);
  std::uint32_t offset = 14 + 40 + static_cast<std::uint32_t>(entries * 4);
  Bytes out = {'B', 'M'};
  Put32(out, offset + static_cast<std::uint32_t>(pixels.size()));
  Put32(out, 0);
  Put32(out, offset);
  PutInfoHeader(out, image.width, image.height, bits, static_cast<std::uint32_t>(pixels.size()),
                static_cast<std::uint32_t>(entries));
  PutPalette(out, palette, entries);
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

Bytes IconImage(const Image& image, int bits, const std::vector<Rgb>& palette) {
  Bytes pixels = PixelRows(image, bits, palette);
  Bytes mask = MaskRows(image);
  Bytes out;
  PutInfoHeader(out, image.width, image.height * 2, bits,
                static_cast<std::uint32_t>(pixels.size() + mask.size()), 0);
  PutPalette(out, palette, std::size_t{1} << bits);
  out.insert(out.end(), pixels.begin(), pixels.end());
  out.insert(out.end(), mask.begin(), mask.end());
  return out;
}

}  // namespace

Bytes PopupBitmapFile() { return BitmapFile(PopupBackground(false), 24, {}); }

Bytes PopupBitmap8File() {
  Image image = PopupBackground(true);
  return BitmapFile(image, 8, ColoursOf(image));
}

Bytes TrayIconFile() {
  Image few = TrayPicture(true);
  Image many = TrayPicture(false);
  std::vector<Rgb> manyPalette = {kBlack};
  for (const Rgb& c : ColoursOf(many))
    if (!(c == kBlack)) manyPalette.push_back(c);
  Bytes images[2] = {IconImage(few, 4, kStandard16), IconImage(many, 8, manyPalette)};
  const int bits[2] = {4, 8};

  Bytes out;
  Put16(out, 0);
  Put16(out, 1);  // an icon
  Put16(out, 2);
  std::uint32_t offset = 6 + 2 * 16;
  for (int i = 0; i < 2; ++i) {
    out.push_back(kIconPixels);
    out.push_back(kIconPixels);
    out.push_back(bits[i] == 4 ? 16 : 0);  // colour count; 0 for 256
    out.push_back(0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits[i]));
    Put32(out, static_cast<std::uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

// --- previews -------------------------------------------------------------------------------

namespace {

std::uint32_t Crc(const Bytes& data, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = from; i < data.size(); ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

void Chunk(Bytes& png, const char* type, const Bytes& data) {
  PutBig32(png, static_cast<std::uint32_t>(data.size()));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  PutBig32(png, Crc(body, 0));
}

}  // namespace

Bytes PreviewPng(const Image& image, int scale, Rgb backdrop) {
  int w = image.width * scale, h = image.height * scale;
  Bytes raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      int sx = x / scale, sy = y / scale;
      bool shown = image.opaque.empty() || image.opaque[static_cast<std::size_t>(sy) * image.width + sx];
      Rgb c = shown ? image.at(sx, sy) : backdrop;
      raw.insert(raw.end(), {c.r, c.g, c.b});
    }
  }
  Bytes z = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t at = 0; at < raw.size();) {
    std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z.push_back(at + n >= raw.size() ? 1 : 0);
    Put16(z, static_cast<unsigned>(n));
    Put16(z, static_cast<unsigned>(~n & 0xFFFF));
    z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
    at += n;
  }
  PutBig32(z, (b << 16) | a);
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  PutBig32(header, static_cast<std::uint32_t>(w));
  PutBig32(header, static_cast<std::uint32_t>(h));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  return png;
}

}  // namespace art
