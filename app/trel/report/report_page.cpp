#include "report_page.h"

#include <algorithm>
#include <sstream>

#include "svg_plot.h"

namespace trel::tool {

namespace {

constexpr const char* kStyle = R"(
body{font-family:sans-serif;margin:1.5em auto;max-width:1200px;color:#222;padding:0 1em}
h1{font-size:1.4em}h2{font-size:1.15em;border-bottom:1px solid #ccc;padding-bottom:.2em;margin-top:1.6em}
table{border-collapse:collapse;margin:.5em 0}td,th{padding:2px 10px;border-bottom:1px solid #eee;text-align:left}
td.v,.v{font-family:monospace}.measures{column-count:4;margin:.5em 0}.measures div{padding:1px 0}.problems{background:#fff0f0;border:1px solid #d66;padding:.5em 1em}
.grid{display:flex;flex-wrap:wrap;gap:12px}.grid figure{margin:0}figcaption{font-size:.85em;color:#555}
.overlay{width:560px;height:auto;background:#000}.lineage-box{max-height:700px;overflow:auto;border:1px solid #ddd}
#player{image-rendering:pixelated;background:#000}.legend span{display:inline-block;width:1em;height:1em;margin:0 .3em 0 1em;vertical-align:middle}
)";

// Plays the overview; flags the page for whoever checks that it renders.
constexpr const char* kScript = R"(
window.addEventListener('error',function(e){document.body.dataset.error=String(e.message||e);});
(function(){
 var img=document.getElementById('player');if(!img){document.body.dataset.ready='yes';return;}
 var frames=JSON.parse(document.getElementById('player-frames').textContent);
 var numbers=JSON.parse(document.getElementById('player-numbers').textContent);
 var slider=document.getElementById('player-slider'),label=document.getElementById('player-label');
 var button=document.getElementById('player-play'),timer=null;
 function show(i){img.src='data:image/png;base64,'+frames[i];slider.value=i;label.textContent='frame '+numbers[i];}
 slider.max=frames.length-1;slider.oninput=function(){show(+slider.value);};
 button.onclick=function(){
  if(timer){clearInterval(timer);timer=null;button.textContent='play';return;}
  button.textContent='pause';timer=setInterval(function(){show((+slider.value+1)%frames.length);},200);};
 show(0);document.body.dataset.ready='yes';
})();
)";

void Table(std::ostringstream& html, const Rows& rows) {
  html << "<table>";
  for (const auto& [key, value] : rows)
    html << "<tr><th>" << Escaped(key) << "</th><td class='v'>" << Escaped(value) << "</td></tr>";
  html << "</table>";
}

std::string OverlaySvg(const Overlay& o) {
  const double font = std::max(8.0, std::max(o.width, o.height) / 45.0);
  std::ostringstream svg;
  svg << "<svg class='overlay' data-frame='" << o.frame << "' xmlns='http://www.w3.org/2000/svg'"
      << " viewBox='0 0 " << o.width << ' ' << o.height << "'><image width='" << o.width
      << "' height='" << o.height << "' preserveAspectRatio='none' href='data:image/png;base64,"
      << Base64(o.png) << "'/>";
  for (const Overlay::Trail& t : o.trails) {
    svg << "<polyline fill='none' stroke='" << t.colour << "' stroke-width='" << font / 5
        << "' points='";
    for (const auto& [x, y] : t.points) svg << x << ',' << y << ' ';
    svg << "'/>";
  }
  svg << "<g font-family='sans-serif' font-size='" << font << "' text-anchor='middle' "
      << "paint-order='stroke' stroke='#000' stroke-width='" << font / 6 << "'>";
  for (const Overlay::Mark& m : o.marks)
    svg << "<text x='" << m.x << "' y='" << m.y + font / 3 << "' fill='" << m.colour << "'>"
        << m.label << "</text>";
  svg << "</g></svg>";
  return svg.str();
}

void Overlays(std::ostringstream& html, const std::vector<Overlay>& overlays) {
  html << "<div class='grid'>";
  for (const Overlay& o : overlays)
    html << "<figure>" << OverlaySvg(o) << "<figcaption>frame " << o.frame
         << "</figcaption></figure>";
  html << "</div>";
}

void Player(std::ostringstream& html, const ReportContent& c) {
  html << "<h2>Overview</h2><p>" << c.player.size() << " frames";
  if (c.player_frames.size() > 1 && c.player_frames[1] - c.player_frames[0] > 1)
    html << " (one in " << c.player_frames[1] - c.player_frames[0] << ")";
  html << ", " << c.player_width << "×" << c.player_height << " pixels.</p>"
       << "<div><button id='player-play'>play</button> <input id='player-slider' type='range' "
       << "min='0' value='0' style='width:400px'> <span id='player-label'></span></div>"
       << "<img id='player' alt='overview' width='" << c.player_width * 2 << "' height='"
       << c.player_height * 2 << "'><script type='application/json' id='player-frames'>[";
  for (size_t k = 0; k < c.player.size(); ++k)
    html << (k ? "," : "") << '"' << Base64(c.player[k]) << '"';
  html << "]</script><script type='application/json' id='player-numbers'>[";
  for (size_t k = 0; k < c.player_frames.size(); ++k) html << (k ? "," : "") << c.player_frames[k];
  html << "]</script>";
}

}  // namespace

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t k = 0; k < bytes.size(); k += 3) {
    uint32_t block = static_cast<uint8_t>(bytes[k]) << 16;
    if (k + 1 < bytes.size()) block |= static_cast<uint8_t>(bytes[k + 1]) << 8;
    if (k + 2 < bytes.size()) block |= static_cast<uint8_t>(bytes[k + 2]);
    out += kDigits[(block >> 18) & 63];
    out += kDigits[(block >> 12) & 63];
    out += k + 1 < bytes.size() ? kDigits[(block >> 6) & 63] : '=';
    out += k + 2 < bytes.size() ? kDigits[block & 63] : '=';
  }
  return out;
}

std::string RenderReportPage(const ReportContent& c) {
  std::ostringstream html;
  html << "<!DOCTYPE html><html lang='en'><head><meta charset='utf-8'><title>" << Escaped(c.title)
       << "</title><style>" << kStyle << "</style></head><body><h1>" << Escaped(c.title) << "</h1>";
  if (!c.problems.empty()) {
    html << "<div class='problems'><b>Problems</b><ul>";
    for (const std::string& p : c.problems) html << "<li>" << Escaped(p) << "</li>";
    html << "</ul></div>";
  }
  html << "<h2>Run</h2>";
  Table(html, c.run);
  html << "<h2>Counts</h2>";
  Table(html, c.counts);
  if (!c.evaluation.empty()) {
    html << "<h2>Against the ground truth</h2><div class='measures'>";
    for (const auto& [key, value] : c.evaluation)
      html << "<div><b>" << Escaped(key) << "</b> <span class='v'>" << Escaped(value)
           << "</span></div>";
    html << "</div>";
  }
  html << "<h2>Plots</h2><div class='grid'>";
  for (const std::string& plot : c.plots) html << plot;
  html << "</div><h2>Lineage</h2><p>Time runs to the right; a track's daughters are the rows "
       << "right below it, joined at the division. Hover a track for its frames.</p>"
       << "<div class='lineage-box'>" << c.lineage << "</div>";
  html << "<h2>Frames</h2><p>Cells filled in their track's colour, track labels at the "
       << "centroids, trails of the last frames.</p>";
  Overlays(html, c.overlays);
  if (!c.error_overlays.empty()) {
    html << "<h2>Errors</h2><p class='legend'>" << c.legend << "</p>";
    Overlays(html, c.error_overlays);
  }
  if (!c.player.empty()) Player(html, c);
  html << "<script>" << kScript << "</script></body></html>\n";
  return html.str();
}

}  // namespace trel::tool
