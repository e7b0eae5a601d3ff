// What the page carries inside itself to look as it does and to fold and
// filter: no font, picture or script is loaded from anywhere else.

#include "report/page_sections.h"

const char* const kPageStyle = R"css(
:root{--fg:#1d2430;--muted:#59636e;--line:#d5dbe2;--soft:#f4f6f9;--ok:#1a7f37;
--bad:#c62828;--warn:#9a6700;--median:#1f6feb;--max:#d1570b;--bar:#4b9be6;
--del:#ffe4e2;--add:#dcf9e3}
*{box-sizing:border-box}
html{-webkit-text-size-adjust:100%;text-size-adjust:100%}
body{margin:0;color:var(--fg);background:#fff;
font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif}
main{max-width:1180px;margin:0 auto;padding:14px 16px 40px}
h1{font-size:1.45rem;margin:.1em 0 .2em;overflow-wrap:anywhere}
h2{font-size:1.15rem;margin:1.8em 0 .6em;padding-bottom:.2em;border-bottom:1px solid var(--line)}
h3{font-size:1rem;margin:1.2em 0 .4em}
p{margin:.4em 0}
.kicker{color:var(--muted);font-size:.85rem;margin:0;text-transform:uppercase;letter-spacing:.05em}
.why{font-size:1.02rem;overflow-wrap:anywhere}
.note{color:var(--muted)}
nav{display:flex;flex-wrap:wrap;gap:.2em 1.1em;font-size:.9rem;margin:.6em 0 0}
a{color:#0a58ca}
.badge{display:inline-block;padding:.05em .65em;border-radius:1em;color:#fff;font-size:.95rem;
font-weight:600;vertical-align:middle}
.badge.passed{background:var(--ok)}.badge.failed{background:var(--bad)}
.badge.interrupted{background:var(--warn)}
dl.facts{display:grid;grid-template-columns:max-content 1fr;gap:.15em 1.2em;margin:0}
dl.facts dt{color:var(--muted)}dl.facts dd{margin:0;overflow-wrap:anywhere}
.cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(128px,1fr));gap:8px;margin:12px 0}
.card{border:1px solid var(--line);border-radius:6px;padding:6px 10px;background:var(--soft)}
.card b{display:block;font-size:1.3rem;font-variant-numeric:tabular-nums}
.card span{color:var(--muted);font-size:.82rem}
.card.bad b{color:var(--bad)}
.scroll{overflow-x:auto}
table{border-collapse:collapse;width:100%;font-size:.9rem}
th,td{text-align:left;padding:4px 8px;border-bottom:1px solid var(--line);vertical-align:top}
th{background:var(--soft);font-weight:600}
.num{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
code,pre,.mono{font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,"DejaVu Sans Mono",monospace;
font-size:.84rem}
pre{white-space:pre-wrap;overflow-wrap:anywhere;margin:0}
td.text{overflow-wrap:anywhere;min-width:12em}
figure{margin:10px 0 18px}
figcaption{font-size:.88rem;color:var(--muted);margin-top:2px}
svg{display:block;width:100%;max-width:920px;height:auto}
svg text{font:11px system-ui,-apple-system,"Segoe UI",Roboto,Arial,sans-serif;fill:#444c56}
svg .title{font-size:12px;font-weight:600;fill:var(--fg)}
.axis{stroke:#8c959f;stroke-width:1}.grid{stroke:#e6eaef;stroke-width:1}
.median{fill:none;stroke:var(--median);stroke-width:1.6}
.max{fill:none;stroke:var(--max);stroke-width:1}
.bar{fill:var(--bar)}
.key{display:inline-block;width:1.4em;height:.25em;vertical-align:middle;margin-right:.3em}
.key.median{background:var(--median)}.key.max{background:var(--max)}
.figures{display:grid;grid-template-columns:repeat(auto-fill,minmax(140px,1fr));gap:8px;margin:8px 0 12px}
ul.lines{margin:.3em 0;padding-left:1.2em}
ul.lines li{overflow-wrap:anywhere}
details.diff{border:1px solid var(--line);border-radius:6px;margin:6px 0}
details.diff>summary{cursor:pointer;padding:6px 10px;background:var(--soft);overflow-wrap:anywhere}
details.diff[open]>summary{border-bottom:1px solid var(--line)}
details.diff>div{padding:6px 10px}
table.sbs{table-layout:fixed;margin-top:6px}
table.sbs td{font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,"DejaVu Sans Mono",monospace;
font-size:.8rem;white-space:pre-wrap;overflow-wrap:anywhere;border-bottom:0;padding:1px 6px}
table.sbs col.n{width:3.2em}table.sbs col.m{width:1.4em}
table.sbs td.n,table.sbs td.m{color:var(--muted);text-align:right;user-select:none}
tr.changed td.l,tr.removed td.l{background:var(--del)}
tr.changed td.r,tr.added td.r{background:var(--add)}
tr.skipped td{color:var(--muted);font-style:italic;text-align:center;background:var(--soft)}
.tools{margin:6px 0}
.tools button{font:inherit;font-size:.85rem;padding:2px 10px;margin-right:6px}
input.filter{font:inherit;width:100%;max-width:420px;padding:4px 8px;margin:4px 0 8px;
border:1px solid var(--line);border-radius:4px}
@media (max-width:640px){
main{padding:10px}
dl.facts{grid-template-columns:1fr}dl.facts dd{margin-bottom:.3em}
table.sbs,table.sbs tbody,table.sbs tr,table.sbs td{display:block;width:auto}
table.sbs colgroup,table.sbs td.n,table.sbs td.m{display:none}
table.sbs tr{border-bottom:1px solid var(--line)}
figure{overflow-x:auto}figure svg{min-width:640px}
}
@media print{
nav,.tools,input.filter{display:none}
body{font-size:10.5pt}main{max-width:none;padding:0}
h2{break-after:avoid}tr,details.diff,figure{break-inside:avoid}
.card{background:none}
tr.changed td,tr.removed td,tr.added td,.badge,.key{-webkit-print-color-adjust:exact;print-color-adjust:exact}
a{color:inherit;text-decoration:none}
}
)css";

const char* const kPageScript = R"js(
(function () {
  'use strict';
  var each = function (list, act) { Array.prototype.forEach.call(list, act); };
  // A box above each list that hides the rows without the words typed.
  each(document.querySelectorAll('[data-filter]'), function (list) {
    var rows = list.querySelectorAll(list.getAttribute('data-filter'));
    if (rows.length < 2) return;
    var box = document.createElement('input');
    box.type = 'search';
    box.className = 'filter';
    box.placeholder = 'Show only the ' + rows.length + ' rows that hold...';
    box.setAttribute('aria-label', 'Filter the rows');
    list.parentNode.insertBefore(box, list);
    box.addEventListener('input', function () {
      var words = box.value.toLowerCase();
      each(rows, function (row) {
        row.hidden = words !== '' &&
            row.textContent.toLowerCase().indexOf(words) < 0;
      });
    });
  });
  // Unfold and fold every difference at once.
  each(document.querySelectorAll('[data-folds]'), function (list) {
    var tools = document.createElement('div');
    tools.className = 'tools';
    [['Unfold all', true], ['Fold all', false]].forEach(function (what) {
      var button = document.createElement('button');
      button.type = 'button';
      button.textContent = what[0];
      button.addEventListener('click', function () {
        each(list.querySelectorAll('details'), function (d) { d.open = what[1]; });
      });
      tools.appendChild(button);
    });
    list.parentNode.insertBefore(tools, list);
  });
  // Printed, every difference shows; on the screen again as it was.
  var opened = [];
  window.addEventListener('beforeprint', function () {
    each(document.querySelectorAll('details:not([open])'), function (d) {
      d.open = true;
      opened.push(d);
    });
  });
  window.addEventListener('afterprint', function () {
    opened.forEach(function (d) { d.open = false; });
    opened = [];
  });
})();
)js";
