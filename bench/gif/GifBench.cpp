// Decoding the same GIFs with this library and with giflib. The pictures
// are made in memory at start-up, the first three with giflib's encoder:
//   Noise   2000 x 2000, 256 colours of random noise (the 4096-entry table
//           fills and clears again and again);
//   Flat    2000 x 2000, large single-colour rectangles (long runs);
//   Banner  576 x 74, 12 frames of flat shapes with 5 % noise, 64 colours,
//           like an advertisement banner;
//   Photo   1200 x 900, ImageMagick's seeded plasma fractal (smooth colour
//           fields with grain) reduced to 256 dithered colours and written
//           by ImageMagick: the short, varied strings of a photograph.
// Before the first timed run of a picture both decoders' frames are
// compared; a difference ends that benchmark with an error.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/support/GiflibMemory.h"
#include "gif/GifUnit.h"

namespace {

using Frame = std::vector<GifPixelType>;

// Full-screen frames.
std::string Encode(int width, int height, const std::vector<Frame>& frames, int colours) {
  std::vector<testsupport::GiflibFrame> full;
  for (const Frame& f : frames) full.push_back({0, 0, width, height, false, f});
  return testsupport::GiflibEncode(width, height, colours, full);
}

Frame Noise(int w, int h, int colours, std::mt19937& rng) {
  Frame f(std::size_t(w) * std::size_t(h));
  for (auto& p : f) p = static_cast<GifPixelType>(rng() % static_cast<unsigned>(colours));
  return f;
}

Frame Shapes(int w, int h, int colours, int cell, double noise, std::mt19937& rng) {
  const int cw = (w + cell - 1) / cell, ch = (h + cell - 1) / cell;
  std::vector<GifPixelType> cells(std::size_t(cw) * std::size_t(ch));
  for (auto& c : cells) c = static_cast<GifPixelType>(rng() % static_cast<unsigned>(colours));
  std::uniform_real_distribution<double> u(0, 1);
  Frame f(std::size_t(w) * std::size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      f[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
          noise > 0 && u(rng) < noise ? static_cast<GifPixelType>(rng() % static_cast<unsigned>(colours))
                                      : cells[std::size_t(y / cell) * std::size_t(cw) + std::size_t(x / cell)];
  return f;
}

// What convert writes for the command, "" when it cannot run.
std::string Convert(const char* command) {
  std::string out;
  FILE* pipe = popen(command, "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (pclose(pipe) != 0) out.clear();
  return out;
}

const std::string& Picture(int which) {
  static const std::vector<std::string> pictures = [] {
    std::mt19937 rng(4);
    std::vector<std::string> out;
    out.push_back(Encode(2000, 2000, {Noise(2000, 2000, 256, rng)}, 256));
    out.push_back(Encode(2000, 2000, {Shapes(2000, 2000, 16, 250, 0, rng)}, 16));
    std::vector<Frame> banner;
    for (int i = 0; i < 12; ++i) banner.push_back(Shapes(576, 74, 64, 6 + i, 0.05, rng));
    out.push_back(Encode(576, 74, banner, 64));
    return out;
  }();
  // Made only when asked for: it takes ImageMagick a second.
  if (which == 3) {
    static const std::string photo =
        Convert("convert -seed 13 -size 1200x900 plasma:fractal -colors 256 gif:- 2>/dev/null");
    return photo;
  }
  return pictures[static_cast<std::size_t>(which)];
}

using Reader = testsupport::GiflibReader;
using testsupport::GiflibRead;

// Why the picture cannot be measured: it could not be made, or the two
// decoders disagree on it. nullptr when all is well.
const char* CheckPicture(int which) {
  const std::string& bytes = Picture(which);
  if (bytes.empty()) return "the picture could not be made (is ImageMagick's convert there?)";
  gif::TGifFile ours;
  gif::TByteViewStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  ours.LoadFromStream(stream);
  Reader r{&bytes};
  int error = 0;
  GifFileType* g = DGifOpen(&r, GiflibRead, &error);
  if (g == nullptr) return "giflib cannot read the picture";
  bool same = DGifSlurp(g) == GIF_OK && ours.SubImages.Count() == g->ImageCount;
  for (int i = 0; same && i < g->ImageCount; ++i) {
    const gif::TGifSubImage& f = ours.GetSubImage(i + 1);
    const SavedImage& s = g->SavedImages[i];
    same = f.Width == s.ImageDesc.Width && f.Height == s.ImageDesc.Height &&
           std::memcmp(f.Pixels->Data().Data(), s.RasterBits, std::size_t{f.Width} * f.Height) == 0;
  }
  DGifCloseFile(g, &error);
  return same ? nullptr : "the frames differ from giflib's";
}

const char* Unfit(int which) {
  static std::map<int, const char*> verdicts;
  const auto found = verdicts.find(which);
  if (found != verdicts.end()) return found->second;
  return verdicts[which] = CheckPicture(which);
}

void Ours(benchmark::State& state) {
  if (const char* why = Unfit(static_cast<int>(state.range(0)))) return state.SkipWithError(why);
  const std::string& bytes = Picture(static_cast<int>(state.range(0)));
  std::int64_t pixels = 0;
  for (auto _ : state) {
    gif::TGifFile file;
    gif::TByteViewStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    file.LoadFromStream(stream);
    for (const auto& f : file.SubImages) pixels += std::int64_t{f->Width} * f->Height;
    benchmark::DoNotOptimize(file.SubImages.Count());
  }
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
}

void Giflib(benchmark::State& state) {
  if (const char* why = Unfit(static_cast<int>(state.range(0)))) return state.SkipWithError(why);
  const std::string& bytes = Picture(static_cast<int>(state.range(0)));
  std::int64_t pixels = 0;
  for (auto _ : state) {
    Reader r{&bytes};
    int error = 0;
    GifFileType* g = DGifOpen(&r, GiflibRead, &error);
    if (DGifSlurp(g) != GIF_OK) state.SkipWithError("giflib failed");
    for (int i = 0; i < g->ImageCount; ++i)
      pixels += std::int64_t{g->SavedImages[i].ImageDesc.Width} * g->SavedImages[i].ImageDesc.Height;
    benchmark::DoNotOptimize(g->ImageCount);
    DGifCloseFile(g, &error);
  }
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels), benchmark::Counter::kIsRate);
}

void Pictures(benchmark::internal::Benchmark* b) {
  b->ArgName("picture")->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(Ours)->Apply(Pictures);
BENCHMARK(Giflib)->Apply(Pictures);

BENCHMARK_MAIN();
