#!/usr/bin/env python3
# A results document of ENTRIES entries as the program writes one (keys
# sorted, two-space indent, non-ASCII escaped), for measuring what reading a
# big class costs. Usage: bench/make-results.py ENTRIES QUESTIONS OUT.json
import json, random, sys

entries, questions, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
rng = random.Random(29)
letters = "ABCD"
with open(out, "w", encoding="ascii") as f:
    head = {"ACnt": 4, "Date": 1700000000000, "Date2": "14.11.2023 23:13:20", "Folder": "/skany",
            "MultiChoice": False, "Pominiete": [{"FileName": "x.png", "Message": "Nie odczytano kodu arkusza.",
                                                 "Status": 1}],
            "Project": "Próba", "QCnt": questions, "Version": 1}
    # Written by hand around "Lista" so that a million entries never sit in
    # memory here either; the layout is json.dumps(indent=2, sort_keys=True).
    text = json.dumps(head, indent=2, sort_keys=True, ensure_ascii=True)
    before, after = text[:text.index('  "MultiChoice"')], text[text.index('  "MultiChoice"'):]
    f.write(before)
    f.write('  "Lista": [')
    for i in range(entries):
        entry = {"FileName": "skan%07d.png" % i, "Student": "%010d" % rng.randrange(10**10),
                 "Wyniki": [rng.choice(letters + " ") for _ in range(questions)]}
        if i % 1000 == 999:
            entry["Status"] = 3
            entry["Message"] = "Operator przerwa\u0142 odczyt."
        body = json.dumps(entry, indent=2, sort_keys=True, ensure_ascii=True).replace("\n", "\n    ")
        f.write(("," if i else "") + "\n    " + body)
    f.write("\n  ],\n" + after + "\n")
