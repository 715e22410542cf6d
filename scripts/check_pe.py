#!/usr/bin/env python3
"""Checks the parts of a built Stats.dll that the Windows loader reads, without running it.

  - imports: exactly the functions of a reviewed list (one DLL!Function per line), none of them
    known to need a Windows newer than 7, and no delay-load imports;
  - the image: a DLL for Windows 7 or older (operating-system and subsystem version at most 6.1),
    relocatable (DYNAMIC_BASE, relocations not stripped, a non-empty .reloc whose entries all lie in
    the image and point into it), with DEP (NX_COMPAT);
  - the TLS directory of the static runtime: present, its addresses in the image and relocated,
    its callbacks in executable code.

Usage: scripts/check_pe.py DLL IMPORT-LIST          (exit status 0 when every check passes)
       scripts/check_pe.py --list-imports DLL       (the DLL's imports, in the list's format)
"""

import struct
import sys

MACHINES = {0x14C: "i686", 0x8664: "x86_64"}
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_FILE_DLL = 0x2000
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
SCN_EXECUTE = 0x20000000
SCN_WRITE = 0x80000000
WINDOWS_7 = (6, 1)

# Functions of the allowed DLLs that Windows 7 does not have (Windows 8 or later); a list entry
# naming one fails even when the list has been updated by hand.
NEWER_THAN_WINDOWS_7 = {
    "kernel32.dll": """GetSystemTimePreciseAsFileTime WaitOnAddress WakeByAddressSingle WakeByAddressAll
        CreateFile2 CopyFile2 GetCurrentThreadStackLimits GetThreadInformation SetThreadInformation
        GetProcessInformation SetProcessInformation PrefetchVirtualMemory DiscardVirtualMemory
        OfferVirtualMemory ReclaimVirtualMemory SetThreadDescription GetThreadDescription
        GetProcessMitigationPolicy SetProcessMitigationPolicy InitializeSynchronizationBarrier
        EnterSynchronizationBarrier DeleteSynchronizationBarrier GetOverlappedResultEx
        CreateFileMappingFromApp MapViewOfFileFromApp GetFirmwareType GetCurrentPackageId
        GetCurrentPackageFullName GetPackageFamilyName VirtualAlloc2 MapViewOfFile3
        GetSystemCpuSetInformation SetThreadSelectedCpuSets GetProcessDefaultCpuSets
        CreateProcessAsUserA2 GetTempPath2A GetTempPath2W""",
    "user32.dll": """GetDpiForWindow GetDpiForSystem GetSystemMetricsForDpi SystemParametersInfoForDpi
        AdjustWindowRectExForDpi SetThreadDpiAwarenessContext GetThreadDpiAwarenessContext
        SetProcessDpiAwarenessContext GetWindowDpiAwarenessContext EnableNonClientDpiScaling
        GetPointerType GetPointerInfo EnableMouseInPointer IsMouseInPointerEnabled
        LogicalToPhysicalPointForPerMonitorDPI PhysicalToLogicalPointForPerMonitorDPI""",
}
NEWER_THAN_WINDOWS_7 = {dll: set(names.split()) for dll, names in NEWER_THAN_WINDOWS_7.items()}


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"MZ":
            raise ValueError("not a PE file")
        pe = self.u32(0x3C)
        if self.data[pe : pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", self.data, pe + 4
        )
        self.arch = MACHINES.get(machine)
        if self.arch is None:
            raise ValueError(f"unknown machine 0x{machine:x}")
        opt = pe + 24
        self.pe32plus = self.u16(opt) == 0x20B
        self.ptr = 8 if self.pe32plus else 4
        self.image_base = self.u64(opt + 24) if self.pe32plus else self.u32(opt + 28)
        self.os_version = (self.u16(opt + 40), self.u16(opt + 42))
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.size_of_image = self.u32(opt + 56)
        self.dll_characteristics = self.u16(opt + 70)
        directories = opt + (112 if self.pe32plus else 96)
        count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(count)]
        self.sections = []
        for i in range(sections):
            header = opt + optional_size + 40 * i
            name = self.data[header : header + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, rva, raw_size, raw_pointer = struct.unpack_from("<IIII", self.data, header + 8)
            flags = self.u32(header + 36)
            self.sections.append((name, rva, max(vsize, raw_size), raw_size, raw_pointer, flags))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def u64(self, offset):
        return struct.unpack_from("<Q", self.data, offset)[0]

    def pointer(self, offset):
        return self.u64(offset) if self.pe32plus else self.u32(offset)

    def section_of(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + section[2]:
                return section
        return None

    def offset(self, rva):
        section = self.section_of(rva)
        if section is None or rva - section[1] >= section[3]:
            raise ValueError(f"RVA 0x{rva:x} is not in the file")
        return section[4] + rva - section[1]

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start : self.data.index(b"\0", start)].decode("ascii", "replace")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """DLL!Function (DLL!#ordinal for an import by number), as the import table names them."""
        rva, size = self.directory(1)
        found = []
        descriptor = rva
        while size:
            lookup, _, _, name, first_thunk = struct.unpack_from("<IIIII", self.data, self.offset(descriptor))
            if not (lookup or name or first_thunk):
                break
            dll = self.string(name)
            thunk = lookup or first_thunk
            ordinal_flag = 1 << (8 * self.ptr - 1)
            while entry := self.pointer(self.offset(thunk)):
                if entry & ordinal_flag:
                    found.append(f"{dll}!#{entry & 0xFFFF}")
                else:
                    found.append(f"{dll}!{self.string((entry & 0x7FFFFFFF) + 2)}")
                thunk += self.ptr
            descriptor += 20
        return found

    def relocated_sites(self):
        """RVAs of the pointers the loader adjusts, or raises ValueError for a malformed table."""
        rva, size = self.directory(5)
        wanted = 10 if self.pe32plus else 3  # IMAGE_REL_BASED_DIR64 / HIGHLOW
        sites = set()
        block = rva
        while block < rva + size:
            page, block_size = struct.unpack_from("<II", self.data, self.offset(block))
            if block_size < 8 or block + block_size > rva + size:
                raise ValueError(f"relocation block at 0x{block:x} has size {block_size}")
            for i in range((block_size - 8) // 2):
                entry = self.u16(self.offset(block + 8 + 2 * i))
                kind, site = entry >> 12, page + (entry & 0xFFF)
                if kind == 0:
                    continue
                if kind != wanted:
                    raise ValueError(f"relocation of type {kind} at 0x{site:x}")
                sites.add(site)
            block += block_size
        return sites


def check(path, list_path):
    problems = []
    image = Image(path)

    if not image.characteristics & IMAGE_FILE_DLL:
        problems.append("not a DLL")
    for what, version in (("operating-system", image.os_version), ("subsystem", image.subsystem_version)):
        if version > WINDOWS_7:
            problems.append(f"{what} version {version[0]}.{version[1]} is newer than Windows 7 (6.1)")

    # Imports against the reviewed list.
    imports = image.imports()
    with open(list_path, encoding="ascii") as f:
        listed = [line.strip() for line in f if line.strip() and not line.startswith("#")]
    # DLL names compare without case, as the loader does; messages keep the file's spelling.
    fold = lambda entry: entry.partition("!")[0].lower() + "!" + entry.partition("!")[2]
    spelled = {fold(e): e for e in listed + imports}
    listed_set, import_set = {fold(e) for e in listed}, {fold(e) for e in imports}
    for entry in sorted(listed_set | import_set):
        dll, _, function = entry.partition("!")
        if function in NEWER_THAN_WINDOWS_7.get(dll, ()):
            problems.append(f"{spelled[entry]} needs Windows 8 or later (the plug-in supports Windows 7)")
    new = [spelled[e] for e in sorted(import_set - listed_set)]
    gone = [spelled[e] for e in sorted(listed_set - import_set)]
    if new:
        problems.append(
            f"{len(new)} import(s) not in {list_path}:\n    " + "\n    ".join(new) + "\n"
            "  Check that each exists in that DLL on Windows 7 (the Windows SDK documentation's minimum\n"
            "  client; the MinGW headers declare Windows 8 functions only for _WIN32_WINNT >= 0x0602),\n"
            f"  then add it there (scripts/check_pe.py --list-imports {path} prints them in its format)."
        )
    if gone:
        problems.append(
            f"{len(gone)} import(s) of {list_path} no longer imported, delete:\n    " + "\n    ".join(gone)
        )
    if image.directory(13)[1]:
        problems.append("delay-load imports (not expected: every import is bound at load)")

    # Relocations: the host's process may load the DLL at any base.
    sites = set()
    if image.characteristics & IMAGE_FILE_RELOCS_STRIPPED:
        problems.append("relocations stripped")
    if not image.dll_characteristics & DYNAMIC_BASE:
        problems.append("DYNAMIC_BASE not set")
    if not image.dll_characteristics & NX_COMPAT:
        problems.append("NX_COMPAT not set")
    reloc = [s for s in image.sections if s[0] == ".reloc"]
    if not reloc or not reloc[0][3] or not image.directory(5)[1]:
        problems.append("no .reloc section or an empty relocation directory")
    else:
        try:
            sites = image.relocated_sites()
        except ValueError as e:
            problems.append(f"relocation table: {e}")
        end = image.image_base + image.size_of_image
        outside = [s for s in sites if image.section_of(s) is None]
        inside = sites - set(outside)
        wild = [s for s in inside if not image.image_base <= image.pointer(image.offset(s)) < end]
        if outside or wild:
            problems.append(
                f"{len(outside)} relocation(s) outside the sections, {len(wild)} pointing outside the image"
            )

    # TLS: MinGW's static runtime brings a TLS directory with callbacks (thread start and exit of
    # the thread and C++ runtimes); all of it must move with the image and the callbacks be code.
    tls_rva, tls_size = image.directory(9)
    if not tls_size:
        problems.append("no TLS directory (the static runtime's thread callbacks are missing)")
    else:
        fields = [image.pointer(image.offset(tls_rva) + i * image.ptr) for i in range(4)]
        names = ("StartAddressOfRawData", "EndAddressOfRawData", "AddressOfIndex", "AddressOfCallBacks")
        for i, (name, va) in enumerate(zip(names, fields)):
            # The end of the template may be the end of its section.
            inside = image.section_of(va - image.image_base - (i == 1)) is not None
            if not inside or (i == 1 and va < fields[0]):
                problems.append(f"TLS {name} 0x{va:x} is outside the image")
            if sites and tls_rva + i * image.ptr not in sites:
                problems.append(f"TLS {name} is not relocated")
        index_section = image.section_of(fields[2] - image.image_base)
        if index_section and not index_section[5] & SCN_WRITE:
            problems.append(f"TLS index lies in read-only section {index_section[0]}")
        callbacks = []
        entry = fields[3] - image.image_base
        while image.section_of(entry) and (va := image.pointer(image.offset(entry))):
            section = image.section_of(va - image.image_base)
            if not section or not section[5] & SCN_EXECUTE:
                problems.append(f"TLS callback 0x{va:x} is not in executable code")
            if sites and entry not in sites:
                problems.append(f"TLS callback slot 0x{entry:x} is not relocated")
            callbacks.append(va)
            entry += image.ptr
        if not callbacks:
            problems.append("TLS directory without callbacks")

    summary = (
        f"{image.arch}, {len(imports)} imports as listed, {len(sites)} relocations, "
        f"TLS with {len(callbacks) if tls_size else 0} callback(s), "
        f"OS version {image.os_version[0]}.{image.os_version[1]}"
    )
    return problems, summary


def main(argv):
    if len(argv) == 3 and argv[1] == "--list-imports":
        image = Image(argv[2])
        print("\n".join(sorted(image.imports(), key=lambda e: e.lower())))
        return 0
    if len(argv) != 3:
        print(__doc__.strip().split("\n\n")[-1], file=sys.stderr)
        return 2
    try:
        problems, summary = check(argv[1], argv[2])
    except (OSError, ValueError, struct.error) as e:
        problems, summary = [f"cannot read: {e}"], ""
    for problem in problems:
        print(f"check_pe: {argv[1]}: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"check_pe: {argv[1]}: {summary}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
