#!/usr/bin/env python3
# From the shared benchmark kit (bench/gen_big.py there), unchanged below this line.
"""Write a large, valid form-2010 declaration: gen_big.py LINES KEYS OUT [SEED].

Item lines cycle through KEYS distinct keys in a shuffled order, with decimal
commas, so every line parses and merges. Used for throughput and scaling runs.
"""
import random, sys

def main():
    lines, keys, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rnd = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 1)
    countries = ["de", "AT", "sk", "RO", "CN", "it", "PL", "cz", "FR", "nl"]
    key_list, padoes = [], []
    for k in range(keys):
        key_list.append("%d;%02d;%s;%s" % (10000000 + rnd.randrange(90000000), rnd.randrange(1, 100),
                                           countries[k % 10], countries[(k // 10) % 10]))
        padoes.append("de%09d" % rnd.randrange(10 ** 9))
    with open(out, "w", encoding="ascii", newline="") as f:
        f.write("{fejezet;sorrend}\r\n0;1\r\n")
        f.write("2010;12345678;12345678;2021;6;Kiss Anna;ugyintezo;+3612345678;anna@example.com;;;;;;5\r\n")
        f.write("1;1\r\n{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}\r\n")
        buf = []
        for i in range(lines):
            k = rnd.randrange(keys) if i >= keys else i
            buf.append("%d;%s;%d,%03d;%d;%d,%02d;%d;%s\r\n" % (
                i + 1, key_list[k], rnd.randrange(1000), rnd.randrange(1000), rnd.randrange(50),
                rnd.randrange(100000), rnd.randrange(100), rnd.randrange(100000), padoes[k]))
            if len(buf) >= 10000:
                f.write("".join(buf)); buf = []
        f.write("".join(buf))

if __name__ == "__main__":
    main()
