// The batch's index page built from hand-made results: card order, escaping
// of hostile names, links only to written files, and its size.
#include <gtest/gtest.h>

#include <regex>

#include "driver/batch_index.h"
#include "io/web_escape.h"

namespace {

BatchModel Model(const std::string& input, const std::string& output) {
  BatchModel model;
  model.input = input;
  model.output = output;
  model.extension = ".mdl";
  return model;
}

ModelResult Result(const char* status, std::vector<std::string> files = {}) {
  ModelResult result;
  result.finished = true;
  result.status = status;
  for (std::string& name : files) result.files.push_back(WrittenFile{std::move(name), 100});
  return result;
}

std::string Page(const BatchPlan& plan, const std::vector<ModelResult>& results, BatchTotals totals = {}) {
  return BatchIndexHtml({"in"}, plan, results, totals);
}

// Every match of the first group of `pattern`, in page order.
std::vector<std::string> AllOf(const std::string& page, const char* pattern) {
  std::vector<std::string> found;
  std::regex expression(pattern);
  for (auto it = std::sregex_iterator(page.begin(), page.end(), expression); it != std::sregex_iterator(); ++it)
    found.push_back((*it)[1]);
  return found;
}

std::string HtmlText(std::string_view text) {
  std::string out;
  AppendHtmlText(out, text);
  return out;
}

std::string UrlPath(std::string_view text) {
  std::string out;
  AppendUrlPath(out, text);
  return out;
}

}  // namespace

TEST(BatchIndex, FailuresComeFirstThenModelsNotStartedThenWithNotesThenConvertedEachByPath) {
  BatchPlan plan;
  plan.models = {Model("in/b.mdl", "b"), Model("in/a.mdl", "a"), Model("in/c.mdl", "c"),
                 Model("in/d.mdl", "d"), Model("in/B.mdl", "B"), Model("in/a2.mdl", "a2"),
                 Model("in/e.mdl", "sub/e")};
  plan.models[4].collidesWith = 0;
  std::vector<ModelResult> results = {Result(kStatusConverted), Result(kStatusConverted), Result(kStatusBadData),
                                      ModelResult(),           Result(kStatusCollision), Result(kStatusUnsupported),
                                      Result(kStatusConvertedWithNotes)};
  results[4].finished = false;  // a collision is never run
  std::string page = Page(plan, results);

  // Headings are paths below the batch's root.
  EXPECT_EQ(AllOf(page, "<h2>([^<]*)</h2>"),
            (std::vector<std::string>{"B.mdl", "a2.mdl", "c.mdl", "d.mdl", "sub/e.mdl", "a.mdl", "b.mdl"}));
  EXPECT_EQ(AllOf(page, "<div class=\"?([ cxw]+)\"?><div class=n>"),
            (std::vector<std::string>{"c x", "c x", "c x", "c", "c w", "c", "c"}));
  EXPECT_NE(page.find("7 models: 1 bad data, 1 output-folder collision, 1 unsupported version, 1 not started, "
                      "1 converted with notes, 2 converted"),
            std::string::npos);
  EXPECT_EQ(AllOf(page, "<option value=\"([^\"]*)\">"),
            (std::vector<std::string>{"", "*", "bad data", "output-folder collision", "unsupported version",
                                      "not started", "converted with notes", "converted"}));
}

// Each card of a model with problems or notes says what happened: a short
// kind and the first problem line (the first note where there is none).
TEST(BatchIndex, CardsSayWhatWentWrong) {
  BatchPlan plan;
  plan.models = {Model("in/broken.mdl", "broken"), Model("in/full.mdl", "full"), Model("in/named.mdl", "named"),
                 Model("in/late.mdl", "late"), Model("in/fine.mdl", "fine")};
  std::vector<ModelResult> results = {Result(kStatusBadData), Result(kStatusWriteFailed),
                                      Result(kStatusConvertedWithNotes), ModelResult(), Result(kStatusConverted)};
  results[0].log = "Decompiled 37 mode\nExtracted body: arm\nName changed: \"a<b\" -> \"a_b\"\n"
                   "Bad data: mesh <0>: cut short\nBad data: later\n";
  results[1].log = "Decompiled 37 mode\nWrite failed: arm.smd (No space left on device)\n";
  results[2].log = "Decompiled 37 mode\nName changed: \"a\x01\" -> \"a_\"\n";
  results[4].log = "Decompiled 37 mode\n";
  BatchTotals totals;
  totals.interrupted = true;
  EXPECT_EQ(AllOf(Page(plan, results, totals), "<p class=f>(.*?)<p class=k>"),
            (std::vector<std::string>{"<em>damaged input</em>Bad data: mesh &lt;0&gt;: cut short",
                                      "<em>output problem</em>Write failed: arm.smd (No space left on device)",
                                      "<em>interrupted</em>",
                                      "<em>names changed</em>Name changed: &quot;a\xEF\xBF\xBD&quot; -&gt; "
                                      "&quot;a_&quot;"}));
}

TEST(BatchIndex, HostileNamesAreEscapedInTextAndLinks) {
  const std::string name = "<script>&\"'%#? \xff\xfe\xc3\xa9";
  BatchPlan plan;
  plan.models = {Model("in/" + name + ".mdl", name)};
  std::vector<ModelResult> results = {Result(kStatusConverted, {"dec.qc", name + ".smd", "preview.png"})};
  std::string page = Page(plan, results);

  EXPECT_EQ(page.find("<script>&"), std::string::npos);
  // Shown as the console shows it ('"' as \x22), then escaped for HTML.
  const std::string shown = "&lt;script&gt;&amp;\\x22&#39;%#? \xEF\xBF\xBD\xEF\xBF\xBD\xc3\xa9";
  EXPECT_NE(page.find("<h2>" + shown + ".mdl</h2>"), std::string::npos) << page;
  const std::string folder = "%3Cscript%3E%26%22%27%25%23%3F%20%FF%FE%C3%A9";
  EXPECT_EQ(AllOf(page, " (?:href|src)=([^ >]*)"),
            (std::vector<std::string>{"report.json", folder + "/preview.png", folder + "/dec.qc",
                                      folder + "/" + folder + ".smd"}));
  EXPECT_NE(page.find(">" + shown + "</a>"), std::string::npos);  // the SMD file, without its extension
}

TEST(BatchIndex, OnlyFilesTheModelWroteAreLinked) {
  BatchPlan plan;
  plan.models = {Model("in/a.mdl", "a"), Model("in/b.mdl", "x/b"), Model("in/c.mdl", "c")};
  std::vector<ModelResult> results = {
      Result(kStatusConverted, {"dec.qc", "a.smd", "idle.smd", "a.glb", "streams.log", "preview.png"}),
      Result(kStatusMissingStrip, {"streams.log"}), ModelResult()};
  results[0].counts = ModelCounts{12, 2, 3456, 1};
  results[1].counts.bones = 7;
  std::string page = Page(plan, results);

  EXPECT_EQ(AllOf(page, " (?:href|src)=([^ >]*)"),
            (std::vector<std::string>{"report.json", "x/b/streams.log", "a/preview.png", "a/dec.qc", "a/a.glb",
                                      "a/streams.log", "a/a.smd", "a/idle.smd"}));
  // Pictures show at their own size: the default, or the run's -preview-size.
  EXPECT_NE(page.find("<img loading=lazy width=256 height=256 alt src=a/preview.png>"), std::string::npos);
  BatchTotals small;
  small.pictureSize = 64;
  EXPECT_NE(Page(plan, results, small).find("<img loading=lazy width=64 height=64 alt src=a/preview.png>"),
            std::string::npos);
  // The two models without a picture get a box of the same size instead.
  EXPECT_EQ(AllOf(page, "(<div class=n>no picture</div>)").size(), 2u);
  // Up to three SMD files are listed with the rest, more are folded away.
  EXPECT_EQ(page.find("<summary>"), std::string::npos);
  results[0].files.push_back(WrittenFile{"walk.smd", 1});
  results[0].files.push_back(WrittenFile{"run.smd", 1});
  EXPECT_NE(Page(plan, results).find("<summary>4 SMD</summary>"), std::string::npos);
  // A count of one is marked, for the style to say "1 animation".
  EXPECT_EQ(AllOf(page, "<p class=k>((?:<i[^>]*>[^<]*</i>)*)"),
            (std::vector<std::string>{"<i>7</i><i>–</i><i>–</i><i>–</i>", "<i>–</i><i>–</i><i>–</i><i>–</i>",
                                      "<i>12</i><i>2</i><i>3456</i><i class=o>1</i>"}));
}

// 10,000 models named as the repository's benchmark tree names them
// (in/groupN/modelM.mdl), each with the given files.
std::string TenThousandModelsPage(const std::vector<std::string>& files) {
  BatchPlan plan;
  std::vector<ModelResult> results;
  for (int i = 0; i < 10000; ++i) {
    std::string name = "model" + std::to_string(i);
    std::string folder = "group" + std::to_string(i / 10) + "/" + name;
    plan.models.push_back(Model("in/" + folder + ".mdl", folder));
    std::vector<std::string> named = files;
    for (std::string& file : named)
      if (file == ".glb") file = name + ".glb";
    results.push_back(Result(kStatusConverted, named));
    results.back().versionRead = true;
    results.back().version = 28 + i % 10;
    results.back().family = "31-36";
    results.back().counts = ModelCounts{24, 3, 1800 + i % 1000, 5};
  }
  return BatchIndexHtml({"in"}, plan, results, BatchTotals{});
}

TEST(BatchIndex, TenThousandModelsMakeAPageOfAFewMegabytes) {
  // A prop: its mesh at two levels of detail, one animation, the build
  // script, the log and the picture.
  const std::string props =
      TenThousandModelsPage({"dec.qc", "crate.smd", "lod1_crate.smd", "idle.smd", "streams.log", "preview.png"});
  RecordProperty("propBytes", std::to_string(props.size()));
  EXPECT_LT(props.size(), 4800u * 1000);
  // A character: three mesh files, five animations, a .glb beside them. Each
  // of its twelve links repeats the model's folder (19 bytes here), so a card
  // cannot be much under 700 bytes.
  const std::string characters =
      TenThousandModelsPage({"dec.qc", "arm_box.smd", "lod1_arm_box.smd", "plate.smd", "idle.smd", "wave.smd",
                             "walk.smd", "run.smd", "jump.smd", ".glb", "streams.log", "preview.png"});
  RecordProperty("characterBytes", std::to_string(characters.size()));
  EXPECT_LT(characters.size(), 8u * 1000 * 1000);
}

TEST(WebEscape, HtmlTextKeepsUtf8AndReplacesWhatAPageMayNotHold) {
  EXPECT_EQ(HtmlText("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&#39;f");
  EXPECT_EQ(HtmlText("\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\t\n"), "\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\t\n");
  const std::string bad = "\xEF\xBF\xBD";
  // One U+FFFD per bad sequence: a stray continuation byte, an overlong form,
  // a surrogate, a code point above U+10FFFF, a sequence cut short.
  EXPECT_EQ(HtmlText("\x80|\xc0\xaf|\xed\xa0\x80|\xf4\x90\x80\x80|\xe2\x82"
                     "A|\xff"),
            bad + "|" + bad + bad + "|" + bad + bad + bad + "|" + bad + bad + bad + bad + "|" + bad + "A|" + bad);
  // Controls and noncharacters HTML does not allow, even as valid UTF-8.
  EXPECT_EQ(HtmlText("\x01\x1b\x7f\xc2\x80\xc2\x9f\xef\xb7\x90\xef\xbf\xbe\xf0\x9f\xbf\xbf"),
            bad + bad + bad + bad + bad + bad + bad + bad);
  EXPECT_EQ(HtmlText(std::string("a\0b", 3)), "a" + bad + "b");
}

TEST(WebEscape, UrlPathKeepsSlashesAndUnreservedBytesOnly) {
  EXPECT_EQ(UrlPath("props/Crate_01.v2~x-y/dec.qc"), "props/Crate_01.v2~x-y/dec.qc");
  EXPECT_EQ(UrlPath("a b#c?d%e&f\"g'h<i>j:k=l\\m\xff\xc3\xa9"),
            "a%20b%23c%3Fd%25e%26f%22g%27h%3Ci%3Ej%3Ak%3Dl%5Cm%FF%C3%A9");
}
