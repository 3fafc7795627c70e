#define %s %d
#define O'Brien x; DROP TABLE project;--
%s O'Brien "q"
