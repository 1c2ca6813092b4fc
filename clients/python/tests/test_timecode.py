"""Timecode text and ticks, on the table of cases the engine's tests read too."""
import json
import os
import unittest

from zyl_engine import ticks_to_timecode, timecode_to_ticks

CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tests", "data",
                     "timecode-cases.json")


class TimecodeCases(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(CASES, encoding="utf-8") as file:
            cls.cases = json.load(file)

    def test_every_text_reads_as_the_position_the_engine_derives(self):
        self.assertGreater(len(self.cases["toTicks"]), 40)
        for item in self.cases["toTicks"]:
            with self.subTest(sequence=item["sequence"], text=item["text"], case=item["case"]):
                sequence = self.cases["sequences"][item["sequence"]]
                self.assertEqual(timecode_to_ticks(item["text"], sequence), item["ticks"])

    def test_every_position_writes_as_the_table_says_and_reads_back_to_its_frame(self):
        for item in self.cases["toText"]:
            with self.subTest(sequence=item["sequence"], ticks=item["ticks"], case=item["case"]):
                sequence = self.cases["sequences"][item["sequence"]]
                text = ticks_to_timecode(item["ticks"], sequence)
                self.assertEqual(text, item["text"])
                if text is None or "wrap" in item["case"]:
                    continue
                start = timecode_to_ticks(text, sequence)
                self.assertIsNotNone(start)
                self.assertTrue(0 <= item["ticks"] - start < sequence["ticksPerFrame"])

    def test_python_digits_and_line_ends_are_no_timecode(self):
        sequence = self.cases["sequences"]["25"]
        self.assertIsNone(timecode_to_ticks("00:00:10:15\n", sequence))
        self.assertIsNone(timecode_to_ticks("00:00:10:\u0661\u0665", sequence))
        self.assertIsNone(ticks_to_timecode(True, sequence))


if __name__ == "__main__":
    unittest.main()
