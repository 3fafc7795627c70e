<nav>
<a href="index.html">Start</a> |
<a href="about.html">Über uns</a> |
<a href="contact.html">Kontakt</a>
#ifdef SHOW_NEWS
| <a href="news.html">Neuigkeiten</a>
#endif
</nav>
