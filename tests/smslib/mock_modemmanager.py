#!/usr/bin/python3
"""A small stand-in for ModemManager on a private D-Bus bus, for libParvox.so and the program.

It owns org.freedesktop.ModemManager1 with the object manager at /org/freedesktop/ModemManager1
and, depending on --mode, a modem whose org.freedesktop.ModemManager1.Modem.Messaging interface
creates messages (Create(a{sv}) -> o) that can be sent (org.freedesktop.ModemManager1.Sms.Send).
Nothing goes to a real modem: every message is written to the record file instead.

Start (needs /usr/bin/python3 with python3-dbus and python3-gi, and dbus-daemon):

    /usr/bin/python3 tests/smslib/mock_modemmanager.py --record R [--address-file F] [--mode M]

It starts a dbus-daemon of its own (or uses --bus ADDRESS), registers itself, and only then prints
the bus address as one line on its standard output and writes it to F (written whole, by rename,
so a file that exists is complete). Point the library at it with
    MOVIRA_MODEMMANAGER_BUS_ADDRESS=<that address>
It runs until SIGTERM or SIGINT, or until the process that started it ends; the dbus-daemon it
started ends with it.

Modes:
    normal        one modem (Modem/0) with messaging; Send succeeds
    two-modems    Modem/0 without messaging, Modem/1 and Modem/2 with it
    no-service    the bus only: nobody owns org.freedesktop.ModemManager1
    no-modem      ModemManager without any modem
    no-messaging  one modem without the messaging interface
    create-fails  Create returns a D-Bus error
    send-fails    Send returns a D-Bus error
    send-hangs    Send never answers
    manager-hangs GetManagedObjects never answers

Record file: JSON lines (UTF-8), appended and flushed one at a time, one per event:
    {"event": "create", "modem": "/org/.../Modem/0", "sms": "/org/.../SMS/0",
     "number": "+4917...", "text": "...", "properties": {all Create properties}}
    {"event": "send", "modem": ..., "sms": ..., "number": ..., "text": ...,
     "properties": {...}, "result": "accepted" | "failed" | "no-answer"}
    {"event": "delete", "modem": ..., "sms": ...}
A message the modem sent is a "send" line with "result": "accepted".
"""

import argparse
import ctypes
import json
import os
import signal
import subprocess
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

MM = 'org.freedesktop.ModemManager1'
MM_PATH = '/org/freedesktop/ModemManager1'
MODEM = MM + '.Modem'
MESSAGING = MM + '.Modem.Messaging'
SMS = MM + '.Sms'
OBJECT_MANAGER = 'org.freedesktop.DBus.ObjectManager'
PROPERTIES = 'org.freedesktop.DBus.Properties'

MODES = ['normal', 'two-modems', 'no-service', 'no-modem', 'no-messaging', 'create-fails',
         'send-fails', 'send-hangs', 'manager-hangs']

# ModemManager's values: MM_MODEM_STATE_REGISTERED, MM_SMS_STATE_UNKNOWN/STORED/SENT.
MODEM_STATE_REGISTERED = 8
SMS_STATE_STORED = 2
SMS_STATE_SENT = 5


class MockError(dbus.DBusException):
    _dbus_error_name = MM + '.Error.Core.Failed'


def plain(value):
    """The D-Bus value as plain JSON data."""
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.ByteArray, bytes)):
        return list(bytes(value))
    if isinstance(value, int):
        return int(value)
    if isinstance(value, float):
        return float(value)
    return str(value)


class Recorder:
    def __init__(self, path):
        self.file = open(path, 'a', encoding='utf-8') if path else None

    def write(self, **entry):
        if self.file:
            self.file.write(json.dumps(entry, ensure_ascii=False) + '\n')
            self.file.flush()


class PropertiesObject(dbus.service.Object):
    """An object whose properties are a dict per interface."""

    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.properties = {}

    @dbus.service.method(PROPERTIES, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        try:
            return self.properties[interface][name]
        except KeyError:
            raise dbus.exceptions.DBusException(
                'no property %s.%s' % (interface, name),
                name='org.freedesktop.DBus.Error.InvalidArgs')

    @dbus.service.method(PROPERTIES, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return dbus.Dictionary(self.properties.get(interface, {}), signature='sv')


class Sms(PropertiesObject):
    def __init__(self, bus, path, modem, properties):
        super().__init__(bus, path)
        self.modem = modem
        self.created = {k: plain(v) for k, v in properties.items()}
        self.properties[SMS] = {
            'State': dbus.UInt32(SMS_STATE_STORED),
            'Number': dbus.String(properties.get('number', '')),
            'Text': dbus.String(properties.get('text', '')),
        }
        self.held_replies = []

    def entry(self):
        return dict(modem=self.modem.path, sms=self.__dbus_object_path__,
                    number=self.created.get('number', ''), text=self.created.get('text', ''),
                    properties=self.created)

    @dbus.service.method(SMS, in_signature='', out_signature='',
                         async_callbacks=('reply', 'error'))
    def Send(self, reply, error):
        mode = self.modem.mode
        if mode == 'send-hangs':
            self.modem.recorder.write(event='send', result='no-answer', **self.entry())
            self.held_replies.append((reply, error))  # never answered
            return
        if mode == 'send-fails':
            self.modem.recorder.write(event='send', result='failed', **self.entry())
            error(MockError('the network refused the message'))
            return
        self.properties[SMS]['State'] = dbus.UInt32(SMS_STATE_SENT)
        self.modem.recorder.write(event='send', result='accepted', **self.entry())
        reply()

    @dbus.service.method(SMS, in_signature='u', out_signature='')
    def Store(self, storage):
        pass


class Modem(PropertiesObject):
    def __init__(self, bus, path, mode, recorder, messaging):
        super().__init__(bus, path)
        self.bus = bus
        self.path = path
        self.mode = mode
        self.recorder = recorder
        self.messages = {}
        self.properties[MODEM] = {
            'Manufacturer': dbus.String('Movira'),
            'Model': dbus.String('Mock modem'),
            'State': dbus.Int32(MODEM_STATE_REGISTERED),
        }
        if messaging:
            self.properties[MESSAGING] = {
                'Messages': dbus.Array([], signature='o'),
                'SupportedStorages': dbus.Array([], signature='u'),
                'DefaultStorage': dbus.UInt32(0),
            }

    def has_messaging(self):
        return MESSAGING in self.properties

    def check_messaging(self):
        if not self.has_messaging():
            raise dbus.exceptions.DBusException(
                'no messaging', name='org.freedesktop.DBus.Error.UnknownMethod')

    @dbus.service.method(MESSAGING, in_signature='', out_signature='ao')
    def List(self):
        self.check_messaging()
        return dbus.Array(list(self.messages), signature='o')

    @dbus.service.method(MESSAGING, in_signature='o', out_signature='')
    def Delete(self, path):
        self.check_messaging()
        sms = self.messages.pop(str(path), None)
        if sms is None:
            raise MockError('no such message')
        self.recorder.write(event='delete', modem=self.path, sms=str(path))
        sms.remove_from_connection()

    @dbus.service.method(MESSAGING, in_signature='a{sv}', out_signature='o')
    def Create(self, properties):
        self.check_messaging()
        if self.mode == 'create-fails':
            raise MockError('the modem cannot store the message')
        path = '%s/SMS/%d' % (MM_PATH, Modem.next_sms)
        Modem.next_sms += 1
        sms = Sms(self.bus, path, self, properties)
        self.messages[path] = sms
        self.recorder.write(event='create', **sms.entry())
        return dbus.ObjectPath(path)


Modem.next_sms = 0


class Manager(PropertiesObject):
    def __init__(self, bus, mode):
        super().__init__(bus, MM_PATH)
        self.mode = mode
        self.modems = []
        self.properties[MM] = {'Version': dbus.String('1.20.4')}
        self.held_replies = []

    @dbus.service.method(OBJECT_MANAGER, in_signature='', out_signature='a{oa{sa{sv}}}',
                         async_callbacks=('reply', 'error'))
    def GetManagedObjects(self, reply, error):
        if self.mode == 'manager-hangs':
            self.held_replies.append((reply, error))  # never answered
            return
        objects = {}
        for modem in self.modems:
            objects[dbus.ObjectPath(modem.path)] = {
                interface: dbus.Dictionary(values, signature='sv')
                for interface, values in modem.properties.items()}
        reply(dbus.Dictionary(objects, signature='oa{sa{sv}}'))

    @dbus.service.signal(OBJECT_MANAGER, signature='oa{sa{sv}}')
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OBJECT_MANAGER, signature='oas')
    def InterfacesRemoved(self, path, interfaces):
        pass


def die_with_parent():
    # Runs in the dbus-daemon child before exec: it gets SIGTERM when this mock ends.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def start_bus():
    daemon = subprocess.Popen(
        ['dbus-daemon', '--session', '--nofork', '--nopidfile', '--print-address=1',
         '--address=unix:tmpdir=/tmp'],
        stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        preexec_fn=die_with_parent)
    address = daemon.stdout.readline().decode().strip()
    if not address:
        daemon.kill()
        sys.exit('mock_modemmanager: dbus-daemon gave no address')
    return daemon, address


def write_whole(path, text):
    temporary = path + '.tmp'
    with open(temporary, 'w', encoding='utf-8') as f:
        f.write(text)
    os.rename(temporary, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--mode', choices=MODES, default='normal')
    parser.add_argument('--record', help='JSON lines file of the messages')
    parser.add_argument('--address-file', help='the bus address is written here when ready')
    parser.add_argument('--bus', help='use this bus instead of starting one')
    args = parser.parse_args()

    DBusGMainLoop(set_as_default=True)
    daemon = None
    address = args.bus
    if not address:
        daemon, address = start_bus()
    bus = dbus.bus.BusConnection(address)
    recorder = Recorder(args.record)

    keep = []
    if args.mode != 'no-service':
        manager = Manager(bus, args.mode)
        if args.mode == 'two-modems':
            layout = [False, True, True]
        elif args.mode == 'no-modem':
            layout = []
        else:
            layout = [args.mode != 'no-messaging']
        for index, messaging in enumerate(layout):
            manager.modems.append(
                Modem(bus, '%s/Modem/%d' % (MM_PATH, index), args.mode, recorder, messaging))
        keep.append(manager)
        # Claimed last, so that whoever sees the name sees the modems.
        keep.append(dbus.service.BusName(MM, bus, do_not_queue=True))

    loop = GLib.MainLoop()
    for number in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, number, loop.quit)
    parent = os.getppid()

    def parent_alive():
        if os.getppid() != parent:
            loop.quit()
            return False
        return True
    GLib.timeout_add(500, parent_alive)

    if args.address_file:
        write_whole(args.address_file, address + '\n')
    print(address, flush=True)
    loop.run()

    keep.clear()  # gives the name back while the bus is still there
    if daemon:
        daemon.terminate()
        try:
            daemon.wait(timeout=2)
        except subprocess.TimeoutExpired:
            daemon.kill()


if __name__ == '__main__':
    main()
