# Several Devices on several emulated boards, each worked on from a thread of its own.
import threading

import brimlo_hid


def test_boards_from_threads_at_once(sim_dir):
    boards = 3
    interfaces = brimlo_hid.list(simulate=True, sim_state=sim_dir, sim_boards=boards)
    assert sorted(i.port for i in interfaces if i.matches) == ["1-%d" % k for k in range(1, 4)]
    results, errors = {}, []

    def work(k):
        try:
            with brimlo_hid.open(simulate=True, sim_state=sim_dir, sim_boards=boards,
                                 port="1-%d" % k) as dev:
                for i in range(300):
                    dev.reg_write(0x03FF0000, k << 16 | i)
                    assert dev.reg_read(0x03FF0000) == k << 16 | i
                results[k] = (dev.path, len(dev.flash.dump()))
        except Exception as error:  # reported below
            errors.append(error)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(1, boards + 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    assert len({path for path, _ in results.values()}) == boards
    assert all(size == 8 << 20 for _, size in results.values())
    with brimlo_hid.open(simulate=True, sim_state=sim_dir, sim_boards=boards, port="1-2") as dev:
        assert dev.reg_read(0x03FF0000) == 2 << 16 | 299
