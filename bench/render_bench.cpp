// Rendering a 10 MB message for the preview (HTML with an inline picture, three attachments),
// against a baseline that only copies the same bytes. The preview must take well under 100 ms.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "content/message_renderer.h"

namespace {

std::string base64Lines(size_t bytes, std::mt19937& random) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve(bytes / 3 * 4 + bytes / 57 * 2 + 8);
  for (size_t i = 0; i < bytes / 3; ++i) {
    const uint32_t group = random();
    for (int shift = 18; shift >= 0; shift -= 6) out += kDigits[group >> shift & 63];
    if (i % 19 == 18) out += "\r\n";
  }
  return out + "\r\n";
}

std::string tenMegabyteMessage() {
  std::mt19937 random(42);
  std::string html = "<html><head><style>p{margin:0 0 8px}</style></head><body>";
  for (int p = 0; p < 400; ++p)
    html += "<p>Paragraph " + std::to_string(p) + " of the weekly report, with <b>bold</b> and <a href=\"http://example.org/" +
            std::to_string(p) + "\">a link</a> and some ordinary text to make it long enough.</p>\r\n";
  html += "<img src=\"cid:chart@example.org\"></body></html>\r\n";
  std::string text = "From: Reports <reports@example.org>\r\nTo: team@example.org\r\n"
                     "Subject: =?utf-8?B?0J7RgtGH0ZHRgg==?= with attachments\r\nDate: Tue, 05 Dec 2006 10:00:00 +0000\r\n"
                     "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"mix\"\r\n\r\n"
                     "--mix\r\nContent-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
                     "--rel\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
                     "--alt\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nThe weekly report.\r\n"
                     "--alt\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + html + "--alt--\r\n"
                     "--rel\r\nContent-Type: image/png\r\nContent-ID: <chart@example.org>\r\n"
                     "Content-Transfer-Encoding: base64\r\n\r\n" + base64Lines(500000, random) + "--rel--\r\n";
  const char* const names[] = {"data.zip", "scan.pdf", "photo.jpg"};
  for (const char* name : names)
    text += std::string("--mix\r\nContent-Type: application/octet-stream; name=\"") + name +
            "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + name +
            "\"\r\n\r\n" + base64Lines(2450000, random);
  return text + "--mix--\r\n";
}

const std::string& messageBytes() {
  static const std::string bytes = tenMegabyteMessage();
  return bytes;
}

void BM_CopyBaseline(benchmark::State& state) {
  const std::string& bytes = messageBytes();
  for (auto _ : state) {
    std::string copy = bytes;
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_Render(benchmark::State& state) {
  const std::string& bytes = messageBytes();
  vireo::content::MessageRenderer renderer;
  for (auto _ : state) {
    vireo::content::RenderedMessage rendered = renderer.render(bytes);
    if (rendered.attachments.size() != 3 || rendered.parts.size() != 4) state.SkipWithError("rendered wrongly");
    benchmark::DoNotOptimize(rendered.html.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_CopyBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond);

// Prints the two times and their ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.benchmark_name() == "BM_CopyBaseline") baseline_ = run.GetAdjustedRealTime();
      if (run.benchmark_name() == "BM_Render") render_ = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (baseline_ > 0 && render_ > 0)
      std::printf("message %.1f MiB: copy %.2f ms, render %.2f ms: %.1fx the copy (target: render under 100 ms)\n",
                  static_cast<double>(messageBytes().size()) / (1 << 20), baseline_, render_, render_ / baseline_);
  }

 private:
  double baseline_ = 0;
  double render_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
