"""Timing shared by the Python benchmarks."""

import timeit


def best_seconds(func, budget=0.2, repeat=5):
    """The fastest time of one call, over `repeat` runs of about `budget` seconds each."""
    timer = timeit.Timer(func)
    number, _ = timer.autorange()
    number = max(1, int(number * budget / 0.2))
    return min(timer.repeat(repeat=repeat, number=number)) / number
