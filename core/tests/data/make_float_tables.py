#!/usr/bin/env python3
"""Writes the float tables the core tests check against Python itself.

float_repr.txt:  "<64-bit pattern in hex> <repr() of that double>"
float_parse.txt: "<decimal text> <64-bit pattern in hex of float(text)>"

Run with Python 3.12 or later; the output is deterministic (fixed seed).
"""
import math
import random
import struct
from decimal import Decimal, getcontext
from pathlib import Path

HERE = Path(__file__).resolve().parent
rng = random.Random(20240517)


def bits(x: float) -> str:
    return "%016x" % struct.unpack("<Q", struct.pack("<d", x))[0]


def from_bits(b: int) -> float:
    return struct.unpack("<d", struct.pack("<Q", b))[0]


def repr_values():
    # Fixed boundaries: zero, subnormals, the largest value, the switches between positional
    # and exponent form, and integers around 2^53.
    fixed = [0.0, -0.0, 5e-324, -5e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
             1e-4, 1e-5, 9.999999999999999e-5, 0.00010000000000000002, 1e15, 1e16,
             9999999999999998.0, 1e16 + 2, 2.0**53, 2.0**53 + 2, 0.1, 0.2, 0.30000000000000004,
             1.5, 100.0, 123456789012345680.0, math.inf, -math.inf, math.nan]
    fixed += [10.0**e for e in range(-30, 31)] + [-(10.0**e) for e in range(-30, 31)]
    values = list(fixed)
    # Uniform bit patterns reach every exponent, NaN payloads included.
    values += [from_bits(rng.getrandbits(64)) for _ in range(12000)]
    # Values of a few digits around the positional range, where most real parameters live.
    while len(values) < 20000:
        digits = rng.randint(1, 17)
        exponent = rng.randint(-8, 19)
        mantissa = rng.randint(1, 10**digits - 1)
        x = float(f"{mantissa}e{exponent - digits + 1}")
        values.append(-x if rng.random() < 0.3 else x)
    return values


def digit_run(n: int) -> str:
    return "".join(rng.choice("0123456789") for _ in range(n))


def with_underscores(digits: str) -> str:
    # A single underscore between two digits, now and then.
    out = [digits[0]]
    for c in digits[1:]:
        if rng.random() < 0.15:
            out.append("_")
        out.append(c)
    return "".join(out)


def random_decimal() -> str:
    mantissa = digit_run(rng.randint(1, 30))
    point = rng.randint(0, len(mantissa))
    whole, frac = mantissa[:point], mantissa[point:]
    if rng.random() < 0.2:
        whole, frac = with_underscores(whole) if whole else whole, with_underscores(frac) if frac else frac
    text = f"{whole}.{frac}"
    if rng.random() < 0.7:
        exponent = rng.choice([rng.randint(-30, 30), rng.randint(-360, -290), rng.randint(280, 330)])
        sign = "-" if exponent < 0 else rng.choice(["", "+"])
        text += rng.choice("eE") + sign + str(abs(exponent))
    return rng.choice(["", "", "-", "+"]) + text


def midpoint(x: float) -> str:
    # The exact decimal halfway between x and the next double up: the rounding tie.
    getcontext().prec = 1200
    half = (Decimal(x) + Decimal(math.nextafter(x, math.inf))) / 2
    return format(half, "e")


def parse_texts():
    texts = ["1e999", "-1e999", "1e-999", "-1e-999", "1.8e308", "1.7976931348623158e308",
             "1.7976931348623159e308", "2e-324", "3e-324", "2.4703282292062328e-324",
             "2.4703282292062327e-324", "0e99999999999999999999", "1e99999999999999999999",
             "1e-99999999999999999999", "0." + "0" * 400 + "1e300", "1" + "0" * 400 + ".e-100",
             "1_0.5", ".5", "5.", "1.e3", "0.1", "-0.0"]
    texts += [random_decimal() for _ in range(4000)]
    for _ in range(1000):
        x = from_bits(rng.getrandbits(63))
        if math.isfinite(x) and x != 1.7976931348623157e308:
            texts.append(midpoint(x))
    return texts


def main():
    with open(HERE / "float_repr.txt", "w") as out:
        for x in repr_values():
            out.write(f"{bits(x)} {x!r}\n")
    with open(HERE / "float_parse.txt", "w") as out:
        for text in parse_texts():
            out.write(f"{text} {bits(float(text))}\n")


if __name__ == "__main__":
    main()
