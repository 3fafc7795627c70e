<footer>
<p>&copy; COPYRIGHT_YEAR SITE_NAME · erzeugt mit Pellandrix</p>
#ifndef NO_CONTACT
<p>Post an CONTACT_MAIL</p>
#endif
</footer>
</body>
</html>
