#include "site.tpl"
#define PAGE_TITLE Willkommen
#include "header.tpl"
#include "nav.tpl"
<main>
<h2>PAGE_TITLE</h2>
<p>Frisches Brot aus SITE_NAME, jeden Morgen ab sechs Uhr.</p>
</main>
#include "footer.tpl"
