#include "render/ScreenStyle.h"

namespace ScreenStyle {

// The colours are chosen once the page's body has its style (the page's
// inline script waits for the linked sheet, so the body's background is
// final by then): the first of each list that reaches 4.5:1 against the
// background, else the best of them. A light page keeps its black labels;
// a dark one gets light ones and prints as a light one.
QString script() {
  return QStringLiteral(R"JS((function () {
  if (!document.adoptedStyleSheets || typeof CSSStyleSheet !== 'function') return;
  var fit = 'textarea{width:100%;max-width:100%;box-sizing:border-box;}img{max-width:100%;}';
  var sheet = new CSSStyleSheet();
  sheet.replaceSync(fit);
  document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);

  function rgb(text) {
    var m = /rgba?\(([^)]*)\)/.exec(text || '');
    if (!m) return null;
    var p = m[1].split(',').map(parseFloat);
    if (p.length > 3 && p[3] === 0) return null;
    return p.slice(0, 3);
  }
  function hex(text) {
    return [1, 3, 5].map(function (i) { return parseInt(text.substr(i, 2), 16); });
  }
  function luminance(c) {
    var l = c.map(function (v) {
      v /= 255;
      return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
    });
    return 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2];
  }
  function contrast(a, b) {
    var x = luminance(a), y = luminance(b);
    return (Math.max(x, y) + 0.05) / (Math.min(x, y) + 0.05);
  }
  function pick(back, list) {
    var best = list[0], bestRatio = 0;
    for (var i = 0; i < list.length; ++i) {
      var r = contrast(back, hex(list[i]));
      if (r >= 4.5) return list[i];
      if (r > bestRatio) { best = list[i]; bestRatio = r; }
    }
    return best;
  }

  var decided = false;
  function decide() {
    if (decided || !document.body) return decided;
    decided = true;
    var back = rgb(getComputedStyle(document.body).backgroundColor) ||
               rgb(getComputedStyle(document.documentElement).backgroundColor) || [255, 255, 255];
    var dark = luminance(back) < 0.18;
    var label = pick(back, dark ? ['#CFE3FF', '#FFFFFF'] : ['#000000']);
    var red = pick(back, dark ? ['#FFD0D0', '#FFE8E8', '#FFFFFF'] : ['#C00000', '#A00000', '#800000', '#000000']);
    var labels = '.ShowAnswer{color:' + label + '!important;}' +
        '.ShowAnswer[style*="red"],span[id^="T"][style*="red"]{color:' + red + '!important;}' +
        '.ShowAnswer:focus{outline:2px solid ' + label + ';outline-offset:1px;}' +
        'span.SearchHit{color:#000000!important;}';
    var css = fit + '@media screen{' + labels + '}';
    if (dark)
      css += '@media print{*{color:#000000!important;background-color:transparent!important;' +
             'background-image:none!important;}html,body{background:#FFFFFF!important;}' +
             '.ShowAnswer[style*="red"],span[id^="T"][style*="red"]{color:#C00000!important;}' +
             'span.SearchHit{background-color:#FFFF00!important;}}';
    else
      css += '@media print{.ShowAnswer[style*="red"],span[id^="T"][style*="red"]{color:#C00000!important;}}';
    // A new sheet in the old one's place: the engine restyles what is there
    // already (replacing the old sheet's rules in place does not).
    var next = new CSSStyleSheet();
    next.replaceSync(css);
    document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (s) { return s !== sheet; })
        .concat([next]);
    sheet = next;
    return true;
  }
  if (!decide()) {
    var watch = new MutationObserver(function () { if (decide()) watch.disconnect(); });
    watch.observe(document, { childList: true, subtree: true });
  }

  // The labels of the answer toolbars take the focus in page order; Enter
  // and Space click them as the mouse does.
  var labelSelector = 'span[id^="ShowButton"].ShowAnswer,a[mode] > span.ShowAnswer';
  function tabStops() {
    decide();
    var list = document.querySelectorAll(labelSelector);
    for (var i = 0; i < list.length; ++i)
      if (!list[i].hasAttribute('tabindex')) list[i].tabIndex = 0;
  }
  if (document.readyState === 'loading')
    document.addEventListener('DOMContentLoaded', tabStops);
  else
    tabStops();
  document.addEventListener('keydown', function (e) {
    var t = e.target;
    if ((e.key === 'Enter' || e.key === ' ') && t && t.matches && t.matches(labelSelector)) {
      e.preventDefault();
      t.click();
    }
  }, true);
})();
)JS");
}

} // namespace ScreenStyle
