#include "gifread/frames.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <utility>

#include "common/program.h"

namespace {

constexpr int kEntries = 256;

// Each index to itself, for laying an image's own indices.
constexpr std::array<int16_t, kEntries> kSame = [] {
  std::array<int16_t, kEntries> same{};
  for (int i = 0; i < kEntries; ++i) same[static_cast<size_t>(i)] = static_cast<int16_t>(i);
  return same;
}();

// Whether an image hides everything under it in the window: opaque, and its part is the
// whole window.
bool Hides(const FrameImage& image, const ImageBox& window) {
  return image.opaque && image.part == window;
}

// The kept indices of screen row y, or null where the image's part has no such row.
const unsigned char* PartRow(const FrameImage& image, int y) {
  if (image.part.Empty() || y < image.part.top || y > image.part.Bottom()) return nullptr;
  return image.rows[static_cast<size_t>(y - image.part.top)].get();
}

// The image's pixels of screen row y that are not its transparent index, drawn into
// red, green and blue rows of the window.
void DrawRow(const FrameImage& image, const ImageBox& window, int y, unsigned char* const out[3]) {
  const unsigned char* kept = PartRow(image, y);
  if (kept == nullptr) return;
  const int at = image.part.left - window.left;
  for (int x = 0; x < image.part.width; ++x) {
    const int i = kept[x];
    if (i == image.transparent) continue;
    for (int c = 0; c < 3; ++c) out[c][at + x] = image.colour[c][i];
  }
}

// The screen under a new image, as colours: the window's planes, filled when nothing
// has been drawn into them.
void MakeScreen(Frames* frames) {
  if (frames->drawn) return;
  for (Plane& plane : frames->screen) {
    if (plane.rows.empty() && !MakePlane(&plane, frames->window.width, frames->window.height))
      FailLine("memory allocation error.");
  }
  for (int c = 0; c < 3; ++c) {
    for (unsigned char* r : frames->screen[c].rows)
      std::memset(r, frames->fill[c], static_cast<size_t>(frames->window.width));
  }
  frames->drawn = true;
}

// An image that stayed, drawn into the screen for good.
void PutImageInScreen(Frames* frames, const FrameImage& image) {
  MakeScreen(frames);
  const ImageBox& w = frames->window;
  for (int y = image.part.top; y <= image.part.Bottom() && !image.part.Empty(); ++y) {
    const size_t r = static_cast<size_t>(y - w.top);
    unsigned char* const out[3] = {frames->screen[0].rows[r], frames->screen[1].rows[r],
                                   frames->screen[2].rows[r]};
    DrawRow(image, w, y, out);
  }
}

// Disposal 2: the image's part set back to the fill colour. A screen not drawn is all
// fill already.
void PutFillInScreen(Frames* frames, const ImageBox& part) {
  if (!frames->drawn || part.Empty()) return;
  const ImageBox& w = frames->window;
  for (int y = part.top; y <= part.Bottom(); ++y) {
    for (int c = 0; c < 3; ++c) {
      std::memset(frames->screen[c].rows[static_cast<size_t>(y - w.top)] + (part.left - w.left),
                  frames->fill[c], static_cast<size_t>(part.width));
    }
  }
}

// The kept images merged into the screen, lowest first.
void MergeKept(Frames* frames) {
  if (frames->hasBelow) PutImageInScreen(frames, frames->below);
  if (frames->hasKept) PutImageInScreen(frames, frames->kept);
  frames->hasBelow = frames->hasKept = false;
}

// An image left in place after its frame, kept over the others: the lower of the two
// kept before goes into the screen to make room.
void KeepImage(Frames* frames, FrameImage* image) {
  if (frames->hasBelow) PutImageInScreen(frames, frames->below);
  frames->hasBelow = frames->hasKept;
  if (frames->hasKept) std::swap(frames->below, frames->kept);
  std::swap(frames->kept, *image);
  frames->hasKept = true;
}

// Screen row y as the frame under the image shows it: the screen, the kept image over it.
void UnderRow(Frames* frames, int y, unsigned char* const out[3]) {
  const size_t width = static_cast<size_t>(frames->window.width);
  const size_t r = static_cast<size_t>(y - frames->window.top);
  for (int c = 0; c < 3; ++c) {
    if (frames->drawn) {
      std::memcpy(out[c], frames->screen[c].rows[r], width);
    } else {
      std::memset(out[c], frames->fill[c], width);
    }
  }
  if (frames->hasBelow) DrawRow(frames->below, frames->window, y, out);
  if (frames->hasKept) DrawRow(frames->kept, frames->window, y, out);
}

uint32_t Key(unsigned red, unsigned green, unsigned blue) {
  return (red | green << 8 | blue << 16) + 1;
}

size_t Slot(uint32_t key) { return (key * 0x9E3779B1u) >> 23; }  // 0 .. kSlots - 1

// The highest index of each colour of the image's table.
void MakeIndex(FrameImage* image) {
  std::fill(std::begin(image->keys), std::end(image->keys), 0);
  for (int i = 0; i < kEntries; ++i) {
    const uint32_t key = Key(image->colour[0][i], image->colour[1][i], image->colour[2][i]);
    size_t s = Slot(key);
    while (image->keys[s] != 0 && image->keys[s] != key) s = (s + 1) % FrameImage::kSlots;
    image->keys[s] = key;
    image->indices[s] = static_cast<unsigned char>(i);
  }
}

// The index of a colour, or -1 when the table does not hold it.
int FindIndex(const FrameImage& image, unsigned red, unsigned green, unsigned blue) {
  const uint32_t key = Key(red, green, blue);
  for (size_t s = Slot(key); image.keys[s] != 0; s = (s + 1) % FrameImage::kSlots) {
    if (image.keys[s] == key) return image.indices[s];
  }
  return -1;
}

// The layer's pixels of screen row y that are not its transparent index, laid into
// columns lo to hi - 1 of a row of the window as map[index].
void LayRow(const FrameImage& layer, const ImageBox& window, int y, const int16_t* map,
            int16_t* wide, int lo, int hi) {
  const unsigned char* kept = PartRow(layer, y);
  if (kept == nullptr) return;
  const int at = layer.part.left - window.left;
  const int from = std::max(lo, at) - at, to = std::min(hi, at + layer.part.width) - at;
  if (layer.opaque) {
    for (int x = from; x < to; ++x) wide[at + x] = map[kept[x]];
    return;
  }
  for (int x = from; x < to; ++x) {
    if (kept[x] != layer.transparent) wide[at + x] = map[kept[x]];
  }
}

// Screen row y of the frame in the image's indices: false when a pixel shows a colour
// its table lacks. The layers are laid as indices, -1 for a colour the table lacks:
// the screen (or the fill) unless a kept image hides it, the kept images through
// belowIndex and keptIndex (the lower one unless the upper hides it), the image itself.
bool IndexRow(Frames* frames, const FrameImage& image, int y, unsigned char* out) {
  const ImageBox& w = frames->window;
  int16_t* wide = frames->wide.data();
  const bool keptHides = frames->hasKept && Hides(frames->kept, w);
  const bool belowShows = frames->hasBelow && !keptHides;
  const bool hidden = keptHides || (belowShows && Hides(frames->below, w));
  // What lies under the image in columns lo to hi - 1.
  const auto under = [&](int lo, int hi) {
    if (hidden) {
    } else if (frames->drawn) {
      const size_t r = static_cast<size_t>(y - w.top);
      const unsigned char* red = frames->screen[0].rows[r];
      const unsigned char* green = frames->screen[1].rows[r];
      const unsigned char* blue = frames->screen[2].rows[r];
      int last = -1;
      uint32_t lastKey = 0;  // runs of one colour are looked up once
      for (int x = lo; x < hi; ++x) {
        const uint32_t key = Key(red[x], green[x], blue[x]);
        if (key != lastKey) last = FindIndex(image, red[x], green[x], blue[x]);
        lastKey = key;
        wide[x] = static_cast<int16_t>(last);
      }
    } else {
      std::fill(wide + lo, wide + hi, frames->fillIndex);
    }
    if (belowShows) LayRow(frames->below, w, y, frames->belowIndex, wide, lo, hi);
    if (frames->hasKept) LayRow(frames->kept, w, y, frames->keptIndex, wide, lo, hi);
  };
  // Where the image is opaque, nothing under its columns shows.
  if (image.opaque && PartRow(image, y) != nullptr) {
    const int left = image.part.left - w.left;
    under(0, left);
    under(left + image.part.width, w.width);
  } else {
    under(0, w.width);
  }
  LayRow(image, w, y, kSame.data(), wide, 0, w.width);
  int16_t least = 0;
  for (int x = 0; x < w.width; ++x) least = std::min(least, wide[x]);
  if (least < 0) return false;
  for (int x = 0; x < w.width; ++x) out[x] = static_cast<unsigned char>(wide[x]);
  return true;
}

}  // namespace

void StartFrames(Frames* frames, const ImageBox& window, const unsigned char fill[3]) {
  frames->window = window;
  std::memcpy(frames->fill, fill, 3);
  frames->drawn = false;
  frames->hasKept = frames->hasBelow = false;
  for (std::vector<unsigned char>& row : frames->row)
    row.assign(static_cast<size_t>(window.width), 0);
  frames->wide.assign(static_cast<size_t>(window.width), 0);
}

void StartFrameImage(FrameImage* image, const Frames& frames, const ImageBox& box,
                     const unsigned char* red, const unsigned char* green,
                     const unsigned char* blue, const GraphicControl& control) {
  image->box = box;
  image->part = box.Clipped(frames.window);
  image->rows.clear();
  image->rows.resize(image->part.Empty() ? 0 : static_cast<size_t>(image->part.height));
  std::memcpy(image->colour[0], red, kEntries);
  std::memcpy(image->colour[1], green, kEntries);
  std::memcpy(image->colour[2], blue, kEntries);
  image->transparent = control.Transparent();
  image->disposal = control.Disposal();
  image->opaque = true;
}

void KeepFrameRow(int y, const unsigned char* row, void* context) {
  auto* image = static_cast<FrameImage*>(context);
  const ImageBox& part = image->part;
  const int screenRow = image->box.top + y;
  if (part.Empty() || screenRow < part.top || screenRow > part.Bottom()) return;
  const size_t n = static_cast<size_t>(part.width);
  auto& kept = image->rows[static_cast<size_t>(screenRow - part.top)];
  kept.reset(new (std::nothrow) unsigned char[n]);
  if (!kept) FailLine("memory allocation error.");
  const unsigned char* from = row + (part.left - image->box.left);
  std::memcpy(kept.get(), from, n);
  if (image->transparent >= 0 && image->opaque)
    image->opaque = std::memchr(from, image->transparent, n) == nullptr;
}

bool FrameInIndices(Frames* frames, FrameImage* image) {
  frames->cached = false;
  if (Hides(*image, frames->window)) return true;
  MakeIndex(image);
  frames->fillIndex =
      static_cast<int16_t>(FindIndex(*image, frames->fill[0], frames->fill[1], frames->fill[2]));
  // Over the fill alone the fill's index decides: some pixel shows the fill.
  if (!frames->drawn && !frames->hasKept) return frames->fillIndex >= 0;
  const auto map = [image](const FrameImage& layer, int16_t* index) {
    for (int i = 0; i < kEntries; ++i) {
      index[i] = static_cast<int16_t>(
          FindIndex(*image, layer.colour[0][i], layer.colour[1][i], layer.colour[2][i]));
    }
  };
  if (frames->hasKept) map(frames->kept, frames->keptIndex);
  if (frames->hasBelow) map(frames->below, frames->belowIndex);
  // Each row is made once, here, and kept for the writer.
  const ImageBox& w = frames->window;
  if (frames->indices.rows.empty() && !MakePlane(&frames->indices, w.width, w.height))
    FailLine("memory allocation error.");
  for (int r = 0; r < w.height; ++r) {
    if (!IndexRow(frames, *image, w.top + r, frames->indices.rows[static_cast<size_t>(r)]))
      return false;
  }
  frames->cached = true;
  return true;
}

const unsigned char* FrameIndexRow(Frames* frames, const FrameImage& image, int r) {
  const int y = frames->window.top + r;
  if (Hides(image, frames->window)) return PartRow(image, y);
  if (frames->cached) return frames->indices.rows[static_cast<size_t>(r)];
  IndexRow(frames, image, y, frames->row[0].data());
  return frames->row[0].data();
}

void FrameColourRow(Frames* frames, const FrameImage& image, int r, const unsigned char* rows[3]) {
  const int y = frames->window.top + r;
  unsigned char* const out[3] = {frames->row[0].data(), frames->row[1].data(),
                                 frames->row[2].data()};
  if (!Hides(image, frames->window)) UnderRow(frames, y, out);
  DrawRow(image, frames->window, y, out);
  for (int c = 0; c < 3; ++c) rows[c] = out[c];
}

void EndFrameImage(Frames* frames, FrameImage* image) {
  // An image with no pixel in the window changes nothing there, whatever its disposal.
  if (image->part.Empty()) return;
  switch (image->disposal) {
    case kDisposePrevious: return;  // the screen and the image kept before stay as they were
    case kDisposeBackground:
      if (image->part == frames->window) {
        frames->drawn = false;  // all fill
        frames->hasKept = frames->hasBelow = false;
        return;
      }
      MergeKept(frames);
      PutFillInScreen(frames, image->part);
      return;
    default:
      if (Hides(*image, frames->window)) {
        frames->drawn = false;  // wholly under the image: what it held is never seen
        frames->hasKept = frames->hasBelow = false;
      }
      KeepImage(frames, image);
      return;
  }
}
