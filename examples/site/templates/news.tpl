#include "site.tpl"
#define PAGE_TITLE Neuigkeiten
#include "header.tpl"
#include "nav.tpl"
<main>
<h2>PAGE_TITLE</h2>
<p>Ab Montag gibt es wieder Dinkelbrot aus der <a href="about.html#backstube">Backstube</a>.</p>
</main>
#include "footer.tpl"
