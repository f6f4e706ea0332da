#include "driver/batch_index.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "driver/batch_findings.h"
#include "driver/run_tool.h"
#include "driver/version.h"
#include "io/shown_name.h"
#include "io/web_escape.h"

namespace {

constexpr size_t kUnfoldedSmdFiles = 3;

// Short class names keep 10,000 cards small: c card, x failed, w converted
// with notes, n no picture, k counts (labelled by the style, o a count of
// one), f finding; a card's heading is its path below the batch's root.
// Pictures show at their own size (smaller where the card is narrower); a
// click shows one as large as the window allows. Links move to the next line
// whole, and break inside only when longer than a line.
constexpr const char* kStyle =
    "body{font:14px/1.35 system-ui,sans-serif;margin:1em;background:#f6f6f6;color:#222}"
    "h1{font-size:1.3em;margin:0 0 .3em;overflow-wrap:anywhere}"
    "#g{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,280px),1fr));gap:.6em;margin-top:.6em}"
    ".c{background:#fff;border:1px solid #ccc;border-radius:4px;padding:.5em;"
    "content-visibility:auto;contain-intrinsic-size:auto 24em}"
    ".c[hidden]{display:none}"
    ".c p{margin:.3em 0}"
    ".x{border:2px solid #c00;background:#fff3f3}"
    ".x b{color:#c00}"
    ".w{border:2px solid #c80}"
    ".w b{color:#960}"
    ".c img{display:block;max-width:100%;height:auto;background:#eee;cursor:zoom-in}"
    ".n{width:128px;height:128px;padding:8px;box-sizing:border-box;display:flex;align-items:center;"
    "justify-content:center;text-align:center;color:#888;font-size:.9em;background:#eee}"
    "h2{font-size:1em;margin:.4em 0 .2em;overflow-wrap:anywhere}"
    ".f{overflow-wrap:anywhere}"
    ".f em{font-style:normal;font-weight:600;margin-right:.4em}"
    ".k i{font-style:normal}"
    ".k i+i::before{content:\" \\b7  \"}"
    ".k i:nth-child(1)::after{content:\" bones\"}"
    ".k i:nth-child(2)::after{content:\" sub-models\"}"
    ".k i:nth-child(3)::after{content:\" triangles (LOD 0)\"}"
    ".k i:nth-child(4)::after{content:\" animations\"}"
    ".k .o:nth-child(1)::after{content:\" bone\"}"
    ".k .o:nth-child(2)::after{content:\" sub-model\"}"
    ".k .o:nth-child(3)::after{content:\" triangle (LOD 0)\"}"
    ".k .o:nth-child(4)::after{content:\" animation\"}"
    ".c a{display:inline-block;max-width:100%;overflow-wrap:anywhere;margin-right:.6em}"
    "#z{position:fixed;inset:0;background:rgba(0,0,0,.8);display:flex;align-items:center;justify-content:center;"
    "cursor:zoom-out}"
    "#z[hidden]{display:none}"
    "#z img{width:min(90vw,90vh);height:auto;image-rendering:pixelated;background:#eee}";

// The filter: a card shows when its path holds the box's text (letter case
// aside) and its status is the one chosen ("*": any failure). A click on a
// picture shows it large until the next click.
constexpr const char* kScript =
    "var q=document.getElementById(\"q\"),s=document.getElementById(\"s\"),m=[];"
    "for(var c of document.querySelectorAll(\".c\"))m.push([c,c.querySelector(\"h2\").textContent.toLowerCase(),"
    "c.querySelector(\"b\").textContent,c.classList.contains(\"x\")]);"
    "function f(){var t=q.value.toLowerCase(),v=s.value;"
    "for(var e of m)e[0].hidden=!(e[1].includes(t)&&(!v||v==e[2]||v==\"*\"&&e[3]))}"
    "q.oninput=s.onchange=f;f();"
    "var z=document.createElement(\"div\");z.id=\"z\";z.hidden=true;z.appendChild(new Image());"
    "document.body.appendChild(z);z.onclick=function(){z.hidden=true};"
    "document.getElementById(\"g\").onclick=function(e){if(e.target.tagName==\"IMG\"){"
    "z.firstChild.src=e.target.src;z.hidden=false}};";

enum class Group { Failed, NotStarted, WithNotes, Converted };

Group GroupOf(const BatchModel& model, const ModelResult& result) {
  if (result.status == kStatusConverted) return Group::Converted;
  if (result.status == kStatusConvertedWithNotes) return Group::WithNotes;
  if (result.finished || model.collidesWith != BatchModel::kNoCollision) return Group::Failed;
  return Group::NotStarted;
}

// Model indexes in card order: by group, then by input path; the walk order
// decides between equal paths.
std::vector<size_t> CardOrder(const BatchPlan& plan, const std::vector<ModelResult>& results) {
  std::vector<size_t> order(plan.models.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    Group groupA = GroupOf(plan.models[a], results[a]), groupB = GroupOf(plan.models[b], results[b]);
    if (groupA != groupB) return groupA < groupB;
    return plan.models[a].input < plan.models[b].input;
  });
  return order;
}

// The href or src of `name` in `folder` (both relative), without quotes.
void AppendLink(std::string& out, const std::string& folder, std::string_view name) {
  AppendUrlPath(out, folder);
  out += '/';
  AppendUrlPath(out, name);
}

void AppendAnchor(std::string& out, const std::string& folder, std::string_view name, std::string_view text) {
  out += "<a href=";
  AppendLink(out, folder, name);
  out += '>';
  AppendHtmlText(out, ShownName(text));
  out += "</a>";
}

// A count; the style names what it counts, "1 bone" for a count of one
// (class o) and "2 bones" for the others.
void AppendCount(std::string& out, int64_t count) {
  out += count == 1 ? "<i class=o>" : "<i>";
  out += count >= 0 ? std::to_string(count) : "\xE2\x80\x93";  // an en dash where unknown
  out += "</i>";
}

// Why a model with -preview has no picture, when its messages say so: the
// rest of the picture's "nothing to draw" line.
std::string_view NoPictureReason(std::string_view log) {
  const std::string prefix = std::string(kPreviewFileName) + ": nothing to draw";
  for (size_t start = 0; start < log.size();) {
    size_t end = log.find('\n', start);
    if (end == std::string_view::npos) end = log.size();
    const std::string_view line = log.substr(start, end - start);
    if (line.starts_with(prefix)) return line.substr(std::string_view(kPreviewFileName).size() + 2);
    start = end + 1;
  }
  return {};
}

// The card's heading: the model's path below the batch's root, which its
// output folder repeats.
std::string ShownPath(const BatchModel& model) { return model.output + model.extension; }

void AppendCard(std::string& out, const BatchModel& model, const ModelResult& result, const BatchTotals& totals) {
  const Group group = GroupOf(model, result);
  out += group == Group::Failed      ? "<div class=\"c x\">"
         : group == Group::WithNotes ? "<div class=\"c w\">"
                                     : "<div class=c>";

  bool hasPicture = std::any_of(result.files.begin(), result.files.end(),
                                [](const WrittenFile& file) { return file.name == kPreviewFileName; });
  if (hasPicture) {
    const std::string size = std::to_string(totals.pictureSize > 0 ? totals.pictureSize : kDefaultPreviewSize);
    out += "<img loading=lazy width=" + size + " height=" + size + " alt src=";
    AppendLink(out, model.output, kPreviewFileName);
    out += '>';
  } else {
    out += "<div class=n>no picture";
    const std::string_view reason = NoPictureReason(result.log);
    if (!reason.empty()) {
      out += ": ";
      AppendHtmlText(out, reason);
    }
    out += "</div>";
  }

  out += "<h2>";
  AppendHtmlText(out, ShownName(ShownPath(model)));
  out += "</h2><p>";
  if (result.versionRead) {
    const std::string version = std::to_string(result.version);
    out += 'v' + version;
    // A family of one version ("37") would only repeat it.
    if (result.family != nullptr && version != result.family) {
      out += " (";
      AppendHtmlText(out, result.family);
      out += ')';
    }
  } else {
    out += "version unknown";
  }
  out += " <b>";
  AppendHtmlText(out, result.status);
  out += "</b>";
  const ModelFinding finding = FindingOf(model, result, totals.interrupted);
  if (finding.kind != nullptr) {
    out += "<p class=f><em>";
    out += finding.kind;
    out += "</em>";
    AppendHtmlText(out, finding.line);
  }
  out += "<p class=k>";
  const ModelCounts& counts = result.counts;
  AppendCount(out, counts.bones);
  AppendCount(out, counts.subModels);
  AppendCount(out, counts.lodZeroTriangles);
  AppendCount(out, counts.animations);

  // Every file but the picture: the build script, .glb files and streams.log
  // in the order they were written, then the SMD files.
  size_t smdCount = 0;
  out += "<p>";
  for (const WrittenFile& file : result.files) {
    if (file.name == kPreviewFileName) continue;
    if (file.name.ends_with(".smd")) {
      ++smdCount;
      continue;
    }
    AppendAnchor(out, model.output, file.name, file.name);
  }
  // A few SMD files are listed with the rest; more are folded away.
  const bool folded = smdCount > kUnfoldedSmdFiles;
  if (folded) out += "<details><summary>" + std::to_string(smdCount) + " SMD</summary>";
  for (const WrittenFile& file : result.files) {
    if (!file.name.ends_with(".smd")) continue;
    AppendAnchor(out, model.output, file.name, std::string_view(file.name).substr(0, file.name.size() - 4));
  }
  if (folded) out += "</details>";
  out += "</div>\n";
}

// "N models: 2 bad data, 1 not started, 9 converted", failures first.
void AppendSummary(std::string& out, const BatchPlan& plan, const std::vector<ModelResult>& results,
                   const BatchTotals& totals) {
  std::map<std::string, size_t> counts[4];
  for (size_t i = 0; i < plan.models.size(); ++i)
    ++counts[static_cast<int>(GroupOf(plan.models[i], results[i]))][results[i].status];
  out += "<p>" + std::to_string(plan.models.size()) + " models";
  const char* separator = ": ";
  for (const auto& group : counts) {
    for (const auto& [status, count] : group) {
      out += separator + std::to_string(count) + ' ';
      AppendHtmlText(out, status);
      separator = ", ";
    }
  }
  size_t walkErrors = static_cast<size_t>(
      std::count_if(plan.skipped.begin(), plan.skipped.end(), [](const BatchSkip& skip) { return skip.isError; }));
  if (!plan.skipped.empty()) {
    out += "; " + std::to_string(plan.skipped.size()) + " entries skipped";
    if (walkErrors > 0) out += " (" + std::to_string(walkErrors) + " errors)";
  }
  if (totals.interrupted) out += "; interrupted";
  out += ". Every detail: <a href=report.json>report.json</a>\n";

  out += "<p><input id=q type=search placeholder=\"Filter by path\" aria-label=\"Filter by path\"> "
         "<select id=s aria-label=\"Filter by status\"><option value=\"\">every status</option>";
  if (!counts[0].empty()) out += "<option value=\"*\">every failure</option>";
  for (const auto& group : counts) {
    for (const auto& [status, count] : group) {
      out += "<option value=\"";
      AppendHtmlText(out, status);
      out += "\">";
      AppendHtmlText(out, status);
      out += " (" + std::to_string(count) + ")</option>";
    }
  }
  out += "</select>\n";
}

}  // namespace

std::string BatchIndexHtml(const std::vector<std::string>& paths, const BatchPlan& plan,
                           const std::vector<ModelResult>& results, const BatchTotals& totals) {
  std::string out;
  // About 700 bytes make a typical card.
  out.reserve(4096 + plan.models.size() * 768);
  std::string from;
  for (const std::string& path : paths) {
    if (!from.empty()) from += ", ";
    AppendHtmlText(from, ShownName(path));
  }
  out += "<!DOCTYPE html>\n<html lang=en><head><meta charset=utf-8>"
         "<meta name=viewport content=\"width=device-width,initial-scale=1\"><title>";
  out += std::to_string(plan.models.size()) + " models from " + from + " - tamberlo";
  out += "</title><style>";
  out += kStyle;
  out += "</style></head><body>\n<h1>Models from ";
  out += from;
  out += "</h1>\n";
  AppendSummary(out, plan, results, totals);
  out += "<div id=g>\n";
  for (size_t i : CardOrder(plan, results)) AppendCard(out, plan.models[i], results[i], totals);
  out += "</div>\n<p>Written by tamberlo ";
  out += kToolVersion;
  out += "</p>\n<script>";
  out += kScript;
  out += "</script>\n</body></html>\n";
  return out;
}
