"""Timing shared by the Python benchmarks."""

import timeit


def best_seconds(func, budget=0.2, repeat=5):
    """The fastest time of one call, over `repeat` runs of about `budget` seconds each."""
    timer = timeit.Timer(func)
    number, _ = timer.autorange()
    number = max(1, int(number * budget / 0.2))
    return min(timer.repeat(repeat=repeat, number=number)) / number


def best_times(operations, rounds=7, budget=0.05):
    """The fastest time of one call of each operation. The rounds interleave the operations so
    that a change of machine load during the run reaches them alike."""
    timers = {name: timeit.Timer(func) for name, func in operations.items()}
    numbers = {}
    for name, timer in timers.items():
        number, seconds = timer.autorange()
        numbers[name] = max(1, int(number * budget / seconds))
    best = dict.fromkeys(operations, float("inf"))
    for _ in range(rounds):
        for name, timer in timers.items():
            best[name] = min(best[name], timer.timeit(numbers[name]) / numbers[name])
    return best
