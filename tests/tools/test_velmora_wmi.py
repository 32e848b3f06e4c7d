#!/usr/bin/python3
# The WMI helper's calls marshalled by Impacket's own method code (createMethods) on objects that
# carry the real parameter types of Win32_Process.Create and Win32_OperatingSystem.Win32Shutdown;
# the transport is a recorder, so nothing is sent anywhere. The out parameters come back as the
# bytes a Windows server sends, decoded by Impacket's own object reader.
import importlib.machinery
import importlib.util
import os
import struct
import sys
import unittest
from collections import OrderedDict

from impacket.dcerpc.v5.dcom import wmi
from impacket.dcerpc.v5.dcomrt import INTERFACE, OBJREF_CUSTOM
from impacket.structure import Structure

HELPER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                      "velmora-wmi")


def load_helper():
    loader = importlib.machinery.SourceFileLoader("velmora_wmi", HELPER)
    description = importlib.util.spec_from_loader("velmora_wmi", loader)
    module = importlib.util.module_from_spec(description)
    loader.exec_module(module)
    return module


helper = load_helper()

STRING = wmi.CIM_TYPE_ENUM.CIM_TYPE_STRING.value
OBJECT = wmi.CIM_TYPE_ENUM.CIM_TYPE_OBJECT.value
SINT32 = wmi.CIM_TYPE_ENUM.CIM_TYPE_SINT32.value
UINT32 = wmi.CIM_TYPE_ENUM.CIM_TYPE_UINT32.value


class ClassPart(Structure):
    """The smallest class part that createMethods can stamp and serialise."""
    structure = (("ClassHeader", ":", wmi.CLASS_HEADER), ("Rest", ":"))


def raw_signature():
    part = ClassPart()
    header = wmi.CLASS_HEADER()
    for field in ("PartitionLength", "EncodingLength", "ClassNameRef", "NdTableValueTableLength"):
        header[field] = 0
    part["ClassHeader"] = header
    part["Rest"] = b""
    return {"ClassType": {"CurrentClass": {"ClassPart": part}}}


def method(name, params, out):
    return {"name": name, "InParams": OrderedDict((n, {"type": t}) for n, t in params),
            "InParamsRaw": raw_signature(), "OutParams": OrderedDict((n, {"type": t}) for n, t in out),
            "OutParamsRaw": raw_signature()}


CLASSES = {
    "Win32_Process": {"Create": method(
        "Create", [("CommandLine", STRING), ("CurrentDirectory", STRING),
                   ("ProcessStartupInformation", OBJECT)],
        [("ProcessId", UINT32), ("ReturnValue", UINT32)])},
    "Win32_OperatingSystem": {
        "Win32Shutdown": method("Win32Shutdown", [("Flags", SINT32), ("Reserved", SINT32)],
                                [("ReturnValue", UINT32)]),
        "Reboot": method("Reboot", [], [("ReturnValue", UINT32)]),
    },
}


class FakeClass(wmi.IWbemClassObject):
    def __init__(self, name, services):  # no DCOM object behind it
        self._iid = wmi.IID_IWbemClassObject
        self._IWbemClassObject__iWbemServices = services
        self._IWbemClassObject__methods = None
        self.name = name
        self.createMethods(name, CLASSES[name])

    def getMethods(self):
        return CLASSES[self.name]


class System:
    Name = 'Microsoft Windows 10 Pro|C:\\WINDOWS|\\Device\\Harddisk0\\Partition3'
    SystemDirectory = "D:\\WIN\\system32"


def encoded_string(text):
    return b"\x00" + text.encode("ascii") + b"\x00"


def out_parameters(values):
    """The out parameters of a method (an instance of __PARAMETERS whose uint32 properties are
    `values`) encoded as in [MS-WMIO], read back by Impacket as ExecMethod does."""
    names = list(values)
    heap = encoded_string("__PARAMETERS")
    lookup = b""
    nd_table = b"\x00" * ((len(names) - 1) // 4 + 1)
    for order, name in enumerate(names):
        name_ref = len(heap)
        heap += encoded_string(name)
        info_ref = len(heap)
        heap += struct.pack("<LHLL", UINT32, order, order * 4, 0) + struct.pack("<L", 4)
        lookup += struct.pack("<LL", name_ref, info_ref)
    class_values = nd_table + b"\x00" * (4 * len(names))
    body = (struct.pack("<LLL", 4, 4, len(names)) + lookup + class_values +
            struct.pack("<L", len(heap) | 0x80000000) + heap)
    class_part = struct.pack("<LBLL", 13 + len(body), 0, 0, len(class_values)) + body
    instance_heap = encoded_string("__PARAMETERS")
    instance_values = nd_table + b"".join(struct.pack("<L", values[n]) for n in names)
    rest = (b"\x00" + struct.pack("<L", 0) + instance_values + struct.pack("<L", 4) + b"\x01" +
            struct.pack("<L", len(instance_heap) | 0x80000000) + instance_heap)
    block = b"\x02" + class_part + struct.pack("<L", 4 + len(rest)) + rest
    reference = OBJREF_CUSTOM()
    reference["iid"] = wmi.IID_IWbemClassObject
    reference["clsid"] = wmi.CLSID_WbemClassObject
    reference["cbExtension"] = 0
    reference["pObjectData"] = struct.pack("<LL", 0x12345678, len(block)) + block
    reference["ObjectReferenceSize"] = len(reference["pObjectData"])
    return wmi.IWbemClassObject(INTERFACE(objRef=reference.getData(), target="offline"))


class Recorder:
    """IWbemServices whose calls are recorded; ExecMethod gets the marshalled parameters and
    answers with out parameters holding `returns` as ReturnValue."""

    def __init__(self, refuse=None, returns=0):
        self.calls = []
        self.refuse = refuse
        self.returns = returns

    def GetObject(self, name):
        return FakeClass(name, self), None

    def ExecQuery(self, query, lFlags=0):
        self.calls.append(("query", query, lFlags))
        recorder = self

        class Enum:
            def Next(self, timeout, count):
                return [System()]
        return Enum()

    def ExecMethod(self, path, name, lFlags=0, pCtx=None, pInParams=None, ppOutParams=None):
        if self.refuse:
            raise self.refuse
        self.calls.append(("method", path, name, pInParams.getData()))
        if name == "Create":
            return out_parameters({"ProcessId": 4242, "ReturnValue": self.returns})
        return out_parameters({"ReturnValue": self.returns})


def utf16(text):
    return text.encode("utf-16le")


class Marshalling(unittest.TestCase):
    def run_action(self, action, services=None):
        services = services or Recorder()
        helper.perform(services, action)
        return [c for c in services.calls if c[0] == "method"]

    def test_lock_and_hibernate_start_rundll32_with_a_folder_and_no_startup_object(self):
        for action, command in ((5, "rundll32.exe User32.dll,LockWorkStation"),
                                (7, "rundll32.exe powrprof.dll,SetSuspendState")):
            calls = self.run_action(action)
            self.assertEqual(len(calls), 1)
            _, path, name, data = calls[0]
            self.assertEqual((path, name), ("Win32_Process", "Create"))
            self.assertIn(utf16(command), data)
            self.assertIn(utf16(System.SystemDirectory), data)

    def test_shutdown_codes_send_their_flags_to_the_primary_system(self):
        for action, flags in ((6, 4), (8, 6), (9, 12), (10, 5)):
            services = Recorder()
            calls = self.run_action(action, services)
            self.assertEqual(len(calls), 1, action)
            _, path, name, data = calls[0]
            self.assertEqual(name, "Win32Shutdown")
            self.assertTrue(path.startswith('Win32_OperatingSystem.Name="Microsoft Windows 10'))
            self.assertIn('C:\\\\WINDOWS', path)
            self.assertIn(struct.pack("<ll", flags, 0), data, action)
            self.assertIn(("query", "select * from Win32_OperatingSystem where Primary=true", 16),
                          services.calls)

    def test_other_codes_call_nothing(self):
        for action in (0, 4, 11, 99):
            self.assertEqual(self.run_action(action), [])

    def test_a_refused_method_is_a_failure_with_its_wmi_text(self):
        refusal = wmi.DCERPCSessionError(error_code=0x80041003)
        for action in (5, 8):
            with self.assertRaises(wmi.DCERPCSessionError) as raised:
                self.run_action(action, Recorder(refuse=refusal))
            text, code = helper.error_of(raised.exception)
            self.assertIn("WBEM_E_ACCESS_DENIED", text)
            self.assertEqual(helper.signed32(code), -2147217405)

    def test_a_call_that_windows_refuses_is_a_failure_with_its_return_value(self):
        for action, returned, reason in ((5, 2, "Access denied."), (7, 9, "Path not found."),
                                         (8, 1191, "other users logged on"),
                                         (10, 5, "Access is denied."),
                                         (9, 4321, "refused the action")):
            with self.assertRaises(helper.CallFailed, msg=action) as raised:
                self.run_action(action, Recorder(returns=returned))
            text, code = helper.error_of(raised.exception)
            self.assertIn(reason, text)
            self.assertEqual(code, returned)
        # Out parameters that hold no ReturnValue cannot be read as a success either.
        services = Recorder()
        services.ExecMethod = lambda *args, **kwargs: out_parameters({"ProcessId": 1})
        with self.assertRaises(helper.CallFailed) as raised:
            helper.perform(services, 6)
        self.assertEqual(helper.error_of(raised.exception), helper.GARBLED_ANSWER)


class ErrorLines(unittest.TestCase):
    def test_undecodable_answers_give_one_readable_line(self):
        for exc in (struct.error("unpack requires a buffer of 4 bytes"), KeyError("abData"),
                    Exception(("DCERPC", b"\x00\x01")), IndexError("list index out of range"),
                    TypeError("'NoneType' object is not subscriptable")):
            text, code = helper.error_of(exc)
            self.assertEqual((text, code), helper.GARBLED_ANSWER, repr(exc))

    def test_a_refused_connection_is_the_rpc_server_unavailable(self):
        self.assertEqual(helper.error_of(ConnectionRefusedError(111, "refused"))[1],
                         helper.RPC_SERVER_UNAVAILABLE)


if __name__ == "__main__":
    unittest.main(verbosity=1)
