#include "site.tpl"
#define PAGE_TITLE Über uns
#include "header.tpl"
#include "nav.tpl"
<main>
<h2>PAGE_TITLE</h2>
<p id="backstube">Seit 1921 backt die Familie Morgenrot in dritter Generation.</p>
</main>
#include "footer.tpl"
