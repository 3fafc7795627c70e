"""build.ninja and a Makefile that build the site shape's pages with
`cpp -P`, each page's includes recorded in a depfile, as a user of a build
tool would set it up. Both are written into the cpp peer's folder and build
into out-ninja/ and out-make/ beside them."""

import os

import tools

CPP = " ".join(tools.CPP)


def write(folder, pages):
    cpp_dir = os.path.join(folder, "peers", "cpp")
    ninja = ["rule cpp\n",
             "  command = %s -MD -MF $out.d -MT $out -I . $in -o $out\n" % CPP,
             "  depfile = $out.d\n", "  deps = gcc\n"]
    ninja += ["build out-ninja/%s.html: cpp %s.c\n" % (p, p) for p in pages]
    with open(os.path.join(cpp_dir, "build.ninja"), "w") as f:
        f.write("".join(ninja))
    make = ["MAKEFLAGS += -r\n",
            "PAGES := $(patsubst %.c,out-make/%.html,$(wildcard p*.c))\n",
            "all: $(PAGES)\n",
            "out-make/%%.html: %%.c | out-make\n"
            "\t%s -MD -MF $@.d -MT $@ -I . $< -o $@\n" % CPP,
            "out-make:\n\tmkdir -p $@\n",
            "-include $(wildcard out-make/*.d)\n"]
    with open(os.path.join(cpp_dir, "Makefile"), "w") as f:
        f.write("".join(make))
    return cpp_dir
