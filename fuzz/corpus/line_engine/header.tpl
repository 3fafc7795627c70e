<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<title>PAGE_TITLE – SITE_NAME</title>
<style>
#include "templates/assets/site.css"
</style>
</head>
<body>
<header><h1>SITE_NAME</h1></header>
