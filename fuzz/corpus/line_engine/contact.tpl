#include "site.tpl"
#define PAGE_TITLE Kontakt
#undef SHOW_NEWS
#define NO_CONTACT
#include "header.tpl"
#include "nav.tpl"
<main>
<h2>PAGE_TITLE</h2>
<p>Schreiben Sie uns: CONTACT_MAIL</p>
#include "templates/assets/opening-hours.txt"
</main>
#include "footer.tpl"
