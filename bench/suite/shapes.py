"""The benchmark shapes, and preparing a workload folder for one of them:
writing its files and setting it up as a project with pellandrix-cli, the
way a user would. A folder is reused while its seed and shape still match.
"""

import json
import os
import shutil
import subprocess

import flat_shape
import site_shape

# Bump when the generated content changes, so old folders are rewritten.
CONTENT_VERSION = 2

SHAPES = {
    "small": {"defines": 50, "lines": 20000},
    "large": {"defines": 1000, "lines": 1000000},
    "many": {"defines": 10000, "lines": 200000},
    "site": {"pages": 2000},
    "site20k": {"pages": 20000},
    "site200": {"pages": 200},
}

INI = "[database]\ndatabase_path=.\\data\ndatabase_name=bench.db\n"
FILE_EXTENSIONS = "html;HTML-Seite\n"
PROJECT = "Bench"


def _cli(cli, folder, *args):
    subprocess.run([cli, "-C", folder] + list(args), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def _set_up_project(cli, folder, meta):
    os.makedirs(os.path.join(folder, "data"), exist_ok=True)
    os.makedirs(os.path.join(folder, "out"), exist_ok=True)
    with open(os.path.join(folder, "Pellandrix.ini"), "w") as f:
        f.write(INI)
    with open(os.path.join(folder, "fileext.def"), "w") as f:
        f.write(FILE_EXTENSIONS)
    _cli(cli, folder, "add-project", PROJECT, "--source", "templates",
         "--target", "out", "--ext", "html")
    # Shared pieces are generated where they are included, and not kept.
    _add_files(cli, folder, ["templates/" + p for p in meta.get("pieces", [])], "--no-create")
    _add_files(cli, folder, ["templates/%s.tpl" % p for p in meta["pages"]], "--select")


def _add_files(cli, folder, paths, option):
    """All in one add-file call; one call each for a pellandrix-cli that
    takes one file per call (commits before that form), which is slow for
    many files since every call saves the whole list."""
    if not paths:
        return
    try:
        _cli(cli, folder, "add-file", PROJECT, *paths, option)
    except subprocess.CalledProcessError:
        for path in paths:
            _cli(cli, folder, "add-file", PROJECT, path, option)


def prepare(shape, seed, work, cli):
    """Folder of the workload, written and set up unless already there.
    Returns (folder, meta)."""
    folder = os.path.join(work, "%s-seed%s" % (shape, seed))
    meta_path = os.path.join(folder, "meta.json")
    wanted = {"shape": shape, "seed": str(seed), "version": CONTENT_VERSION}
    if os.path.exists(meta_path):
        with open(meta_path) as f:
            meta = json.load(f)
        if all(meta.get(k) == v for k, v in wanted.items()):
            return folder, meta
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shape_info = SHAPES[shape]
    if "pages" in shape_info:
        meta = site_shape.write(folder, seed, shape_info["pages"])
    else:
        meta = flat_shape.write(folder, seed, shape_info["defines"], shape_info["lines"])
    _set_up_project(cli, folder, meta)
    meta.update(wanted)
    # Written last: a folder without it is incomplete and gets rewritten.
    with open(meta_path, "w") as f:
        json.dump(meta, f)
    return folder, meta
