#include "host/report.h"

#include <filesystem>
#include <system_error>

#include "host/flight_log.h"

namespace panelhost {
namespace {

namespace fs = std::filesystem;

std::string Html(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A file name as a relative URL: every byte but the unreserved ones and the
// folder separator is percent-encoded.
std::string Url(const std::string& file) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : file) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

constexpr const char* kStyle = R"(
body { margin: 0; background: #f3f4f6; color: #1f2328;
  font: 15px/1.5 "Liberation Sans", "DejaVu Sans", Arial, sans-serif; }
main { max-width: 1100px; margin: 0 auto; padding: 28px 32px 48px; }
h1 { font-size: 26px; margin: 0; }
.subtitle { color: #5b636e; margin: 2px 0 0; }
h2 { font-size: 18px; margin: 34px 0 12px; padding-bottom: 4px; border-bottom: 1px solid #d5d9de; }
table.summary { border-collapse: collapse; background: #fff; border: 1px solid #d5d9de; }
table.summary th, table.summary td { text-align: left; padding: 6px 16px;
  border-bottom: 1px solid #e8eaed; vertical-align: top; }
table.summary th { font-weight: 600; color: #3b434c; background: #f8f9fa; }
table.summary td { font-family: "Liberation Mono", "DejaVu Sans Mono", monospace; }
.gallery { display: flex; flex-wrap: wrap; gap: 16px; align-items: flex-start; }
figure { margin: 0; background: #fff; border: 1px solid #d5d9de; border-radius: 6px; padding: 10px; }
figure img { display: block; max-width: 100%; height: auto; }
.snapshot img { background: #000; }
figcaption { font-size: 13px; color: #5b636e; margin-top: 6px; }
.plots figure { margin-bottom: 14px; }
.missing { color: #a4262c; font-style: italic; padding: 18px 10px; }
ul.files { padding-left: 20px; }
ul.notes li { color: #7a4d00; }
footer { margin-top: 40px; color: #8b939c; font-size: 12px; }
)";

class Page {
 public:
  explicit Page(fs::path folder) : folder_(std::move(folder)) {}

  std::string& out() { return out_; }

  bool Exists(const std::string& file) const {
    std::error_code ec;
    return !file.empty() && fs::exists(folder_ / file, ec);
  }

  void AddFigure(const Figure& figure, const char* cls) {
    out_ += "<figure class=\"";
    out_ += cls;
    out_ += "\">";
    if (Exists(figure.file)) {
      out_ += "<img src=\"" + Url(figure.file) + "\" alt=\"" + Html(figure.caption) + "\">";
    } else {
      out_ += "<div class=\"missing\">missing: " + Html(figure.file) + "</div>";
    }
    if (!figure.caption.empty()) out_ += "<figcaption>" + Html(figure.caption) + "</figcaption>";
    out_ += "</figure>\n";
  }

  void AddLink(const std::string& file, const std::string& what) {
    out_ += "<li>" + Html(what) + ": ";
    if (Exists(file)) {
      out_ += "<a href=\"" + Url(file) + "\">" + Html(file) + "</a>";
    } else {
      out_ += "<span class=\"missing\">missing: " + Html(file) + "</span>";
    }
    out_ += "</li>\n";
  }

 private:
  fs::path folder_;
  std::string out_;
};

}  // namespace

std::string WriteReport(const std::string& folder, const ReportContent& content) {
  Page page{fs::path(folder)};
  std::string& out = page.out();
  const std::string title = content.title.empty() ? "panelhost run" : content.title;
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  out += "<title>" + Html(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n";
  out += "<body>\n<main>\n<header>\n<h1>" + Html(title) + "</h1>\n";
  if (!content.subtitle.empty())
    out += "<p class=\"subtitle\">" + Html(content.subtitle) + "</p>\n";
  out += "</header>\n";

  if (!content.summary.empty()) {
    out += "<h2>Summary</h2>\n<table class=\"summary\">\n";
    for (const auto& [name, value] : content.summary) {
      out += "<tr><th scope=\"row\">" + Html(name) + "</th><td>" + Html(value) + "</td></tr>\n";
    }
    out += "</table>\n";
  }
  if (!content.snapshots.empty()) {
    out += "<h2>Panel snapshots</h2>\n<div class=\"gallery\">\n";
    for (const Figure& f : content.snapshots) page.AddFigure(f, "snapshot");
    out += "</div>\n";
  }
  if (!content.animation.file.empty()) {
    out += "<h2>Animation</h2>\n<div class=\"gallery\">\n";
    page.AddFigure(content.animation, "snapshot");
    out += "</div>\n";
  }
  if (!content.plots.empty() || !content.logFile.empty() || !content.csvFile.empty()) {
    out += "<h2>Flight log</h2>\n";
    if (!content.logFile.empty() || !content.csvFile.empty()) {
      out += "<ul class=\"files\">\n";
      if (!content.logFile.empty()) page.AddLink(content.logFile, "Recorder log");
      if (!content.csvFile.empty()) page.AddLink(content.csvFile, "As CSV");
      out += "</ul>\n";
    }
    out += "<div class=\"plots\">\n";
    for (const Figure& f : content.plots) page.AddFigure(f, "plot");
    out += "</div>\n";
  }
  if (!content.notes.empty()) {
    out += "<h2>Notes</h2>\n<ul class=\"notes\">\n";
    for (const std::string& note : content.notes) out += "<li>" + Html(note) + "</li>\n";
    out += "</ul>\n";
  }
  out += "<footer>Written by panelhost.</footer>\n</main>\n</body>\n</html>\n";

  std::string path = (fs::path(folder) / "index.html").string();
  WriteFileReplacing(path, out);
  return path;
}

}  // namespace panelhost
