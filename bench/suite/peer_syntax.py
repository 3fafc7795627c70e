"""How each tool spells a define and an include of another file.

The values handed in here are those of workload.Defines: "raw" values may
mention earlier names, which the macro processors expand when they use
them; sed gets the expanded values because it only replaces text.
"""


def ours_define(name, raw):
    return "#define %s %s\n" % (name, raw)


def cpp_define(name, raw):
    return "#define %s %s\n" % (name, raw)


def gpp_define(name, raw):
    return "#define %s %s\n" % (name, raw)


def m4_define(name, raw):
    # m4_dnl swallows the line end, so a define leaves no blank line.
    return "m4_define(`%s', `%s')m4_dnl\n" % (name, raw)


def sed_substitution(name, expanded):
    # "|" never occurs in names or values; "&" would insert the match.
    return "s|%s|%s|g\n" % (name, expanded.replace("\\", "\\\\").replace("&", "\\&"))


def ours_include(file_name):
    return '#include "%s"\n' % file_name


def cpp_include(file_name):
    return '#include "%s"\n' % file_name


def gpp_include(file_name):
    return "#include %s\n" % file_name


def m4_include(file_name):
    return "m4_include(`%s')m4_dnl\n" % file_name


DEFINE = {"ours": ours_define, "cpp": cpp_define, "gpp": gpp_define, "m4": m4_define}
INCLUDE = {"ours": ours_include, "cpp": cpp_include, "gpp": gpp_include, "m4": m4_include}
SUFFIX = {"ours": ".tpl", "cpp": ".h", "gpp": ".gpp", "m4": ".m4"}


def define_lines(tool, table):
    """All defines of a workload.Defines table in the tool's syntax."""
    if tool == "sed":
        return "".join(sed_substitution(n, table.expanded[n]) for n in table.names)
    spell = DEFINE[tool]
    return "".join(spell(n, table.raw[n]) for n in table.names)
