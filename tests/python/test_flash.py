# Get ID, an 8 MB burn, verify and dump, progress and Ctrl+C.
import os
import signal
import time

import pytest

import brimlo_hid


@pytest.fixture(scope="module")
def image():
    return os.urandom(8 << 20)


def test_id_describes_the_chip(dev):
    chip = dev.flash.id()
    assert chip.name
    assert chip.pages_per_sector * chip.page_size == chip.sector_size
    assert chip.total_size == chip.sector_size * chip.sectors_per_block * chip.total_blocks
    assert chip.total_size == 8 << 20


def test_burn_verify_dump_8mb(dev, image, tmp_path):
    calls = []
    start = time.monotonic()
    closing = dev.flash.burn(image, progress=lambda *call: calls.append(call))
    elapsed = time.monotonic() - start
    assert "entire flash has updated" in closing
    phases = {phase for phase, _, _ in calls}
    assert {"Write Entire Flash", "Compare Entire Flash"} <= phases
    assert len(calls) <= 4 * elapsed + 2 * len(phases) + 2
    assert all(0 <= done <= total for _, done, total in calls)

    assert dev.flash.verify(image) is None
    assert dev.flash.verify(memoryview(image[::-1])[::-1]) is None  # a view read in its order
    changed = bytearray(image)
    changed[0x7FFF00] ^= 0xFF
    difference = dev.flash.verify(changed)
    assert (difference.address, difference.expected, difference.found, difference.differing_bytes) \
        == (0x7FFF00, changed[0x7FFF00], image[0x7FFF00], 1)

    calls.clear()
    assert dev.flash.dump(progress=lambda *call: calls.append(call)) == image
    assert calls[-1][1:] == (8 << 20, 8 << 20)

    target = tmp_path / "dump.bin"
    dev.flash.dump(target)
    assert target.read_bytes() == image
    with pytest.raises(brimlo_hid.UsageError, match="force=True"):
        dev.flash.dump(str(target))
    dev.flash.dump(str(target), force=True)
    assert target.read_bytes() == image


def test_ctrl_c_stops_a_dump_or_verify_at_a_report_boundary(dev, tmp_path):
    target = tmp_path / "dump.bin"

    def interrupt(phase, done, total):
        os.kill(os.getpid(), signal.SIGINT)

    with pytest.raises(KeyboardInterrupt, match="dump was stopped"):
        dev.flash.dump(target, progress=interrupt)
    assert not target.exists()
    partial = [p for p in tmp_path.iterdir() if p.name.startswith("dump.bin.partial")]
    assert len(partial) <= 1
    kept = partial[0].stat().st_size if partial else 0
    assert kept < 8 << 20 and kept % 4096 == 0
    with pytest.raises(KeyboardInterrupt):
        dev.flash.dump(progress=interrupt)
    blank = dev.flash.dump()  # the device is usable again
    assert len(blank) == 8 << 20
    calls = []

    def record_and_interrupt(phase, done, total):
        calls.append((done, total))
        interrupt(phase, done, total)

    with pytest.raises(KeyboardInterrupt):
        dev.flash.verify(blank, progress=record_and_interrupt)
    assert max(done for done, _ in calls) < 8 << 20  # stopped before its end
    assert dev.flash.verify(blank) is None


def test_ctrl_c_during_a_burn_warns_then_stops(sim_dir, set_faults, image):
    set_faults(latency_us=500)  # a burn of a second or more: both presses land in its writing
    presses = []

    def interrupt(phase, done, total):
        if len(presses) < 2:
            presses.append(phase)
            os.kill(os.getpid(), signal.SIGINT)

    with brimlo_hid.open(simulate=True, sim_state=sim_dir) as dev:
        with pytest.warns(RuntimeWarning, match="Press Ctrl\\+C again"):
            with pytest.raises(KeyboardInterrupt, match="needs a new burn"):
                dev.flash.burn(image, progress=interrupt)
    assert len(presses) == 2
