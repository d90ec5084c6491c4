"""Scripting access to the BRIMLO capture board's vendor HID interface."""

import builtins
import os
from typing import Callable, Optional, Sequence, Union

DEFAULT_VID: int
DEFAULT_PID: int

Progress = Callable[[str, int, int], object]
"""progress(phase, done, total): phase is e.g. "Write Entire Flash", done and total in bytes."""

class Error(Exception):
    """Every failure the module reports; its message is the library's."""

class NotFoundError(Error):
    """No device with the identifiers, path, port or serial asked for."""

class BusyError(Error):
    """The device is in use: another thread runs a burn, verify or dump on it, or another
    program or process holds it (a busy device node, an emulated board's state directory)."""

class DeviceError(Error):
    """A report exchange, the device or a file failed."""

class CompareError(Error):
    """A burn read the flash back and it differs from the image."""
    address: int
    expected: int
    found: int
    differing_bytes: int

class ImageError(Error):
    """The burn image cannot be used."""

class UsageError(Error, ValueError):
    """The call cannot be made as asked."""

class Interface:
    """One HID interface that list() found."""
    @property
    def path(self) -> str: ...
    @property
    def readable(self) -> bool: ...
    @property
    def error(self) -> str: ...
    @property
    def vid(self) -> int: ...
    @property
    def pid(self) -> int: ...
    @property
    def vid_pid(self) -> str: ...
    @property
    def usage_page(self) -> int: ...
    @property
    def usage(self) -> int: ...
    @property
    def port(self) -> str: ...
    @property
    def serial(self) -> str: ...
    @property
    def matches(self) -> bool: ...

class FlashId:
    """The flash chip Get ID found, and its geometry."""
    @property
    def name(self) -> str: ...
    @property
    def device_id(self) -> int: ...
    @property
    def page_size(self) -> int: ...
    @property
    def pages_per_sector(self) -> int: ...
    @property
    def sector_size(self) -> int: ...
    @property
    def sectors_per_block(self) -> int: ...
    @property
    def total_blocks(self) -> int: ...
    @property
    def total_size(self) -> int: ...

class Difference:
    """Where the flash first differs from the image."""
    @property
    def address(self) -> int: ...
    @property
    def expected(self) -> int: ...
    @property
    def found(self) -> int: ...
    @property
    def differing_bytes(self) -> int: ...

Image = Union[bytes, bytearray, memoryview, str, os.PathLike[str]]

class Flash:
    """The board's SPI flash."""
    def id(self) -> FlashId: ...
    def burn(self, image: Image, areas: Optional[Sequence[str]] = None,
             progress: Optional[Progress] = None) -> str:
        """Burns the entire flash (areas None) or "firmware", "private", "customized";
        returns the closing text."""
    def verify(self, image: Image, areas: Optional[Sequence[str]] = None,
               progress: Optional[Progress] = None) -> Optional[Difference]: ...
    def dump(self, path: Union[None, str, os.PathLike[str]] = None,
             progress: Optional[Progress] = None, force: bool = False) -> Optional[bytes]:
        """The whole flash as bytes when path is None, else written to path."""

class Device:
    """An open board; a context manager, also closed when collected."""
    @property
    def description(self) -> str: ...
    @property
    def path(self) -> str: ...
    @property
    def closed(self) -> bool: ...
    @property
    def flash(self) -> Flash: ...
    def close(self) -> None: ...
    def __enter__(self) -> "Device": ...
    def __exit__(self, *args: object) -> None: ...
    def reg_read(self, addr: int) -> int: ...
    def reg_read_block(self, addr: int, count: int) -> builtins.list[int]: ...
    def reg_write(self, addr: int, value: int) -> None: ...
    def iic_read(self, dev: int, sub: bytes = b"", count: int = 1) -> bytes: ...
    def iic_write(self, dev: int, data: bytes) -> None: ...
    def iic_scan(self) -> builtins.list[int]: ...
    def gpio_dir(self, n: int, out: bool) -> None: ...
    def gpio_set(self, n: int, value: int) -> None: ...
    def gpio_get(self, n: int) -> int: ...
    def hdmi(self) -> bytes: ...
    def fw_version(self) -> str: ...

def set_debug(enabled: bool) -> None:
    """Writes the library's debug lines to standard error; off by default."""

def list(vid: Optional[int] = None, pid: Optional[int] = None, simulate: bool = False,
         sim_state: Optional[str] = None, sim_boards: int = 0) -> builtins.list[Interface]:
    """Every HID interface present, and whether it has the identifiers vid and pid."""

def open(vid: Optional[int] = None, pid: Optional[int] = None, path: Optional[str] = None,
         serial: Optional[str] = None, port: Optional[str] = None, simulate: bool = False,
         sim_state: Optional[str] = None, trace: Optional[str] = None,
         sim_boards: int = 0) -> Device:
    """Opens a board; see help(brimlo_hid.open)."""
