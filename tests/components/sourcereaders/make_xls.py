#!/usr/bin/env python3
"""Writes the Excel 97-2003 workbook the reader tests expect: make_xls.py OUT.xls"""
import datetime
import sys

import xlwt

book = xlwt.Workbook(encoding="utf-8")
people = book.add_sheet("People")
for col, name in enumerate(["Email", "Name", "Visits", "Joined"]):
    people.write(0, col, name)
dates = xlwt.easyxf(num_format_str="YYYY-MM-DD")
people.write(1, 0, "ann@example.com")
people.write(1, 1, "Ren\u00e9e")
people.write(1, 2, 7)
people.write(1, 3, datetime.date(2021, 12, 2), dates)
people.write(2, 0, "bob@example.com")
people.write(2, 2, 2.5)
book.add_sheet("Empty")
book.save(sys.argv[1])
