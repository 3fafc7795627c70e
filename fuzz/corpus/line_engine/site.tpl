#define SITE_NAME Bäckerei Morgenrot
#define COPYRIGHT_YEAR 2026
#define CONTACT_MAIL info@morgenrot.example
#define SHOW_NEWS
