"""The README's example, as the tests run and type-check it."""
import os
import re

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "README.md")


def readme_example() -> str:
    with open(README, encoding="utf-8") as readme:
        blocks = re.findall(r"^```python\n(.*?)^```", readme.read(), re.S | re.M)
    assert len(blocks) == 1, "the README should hold one Python example, found %d" % len(blocks)
    return blocks[0]
