#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A StatusNotifierWatcher and its host, as a panel runs them, on the session bus of the tests.

Owns org.kde.StatusNotifierWatcher, takes the items that register, reads them as a panel does (id,
tooltip, icon, the menu over com.canonical.dbusmenu) and says what it sees on standard output, one JSON
object per line:

    {"event": "ready"}                       the watcher's name is owned
    {"event": "registered", "id", "title", "tooltip", "icon_sizes", "icon_complete", "menu"}
    {"event": "counted", "seconds", "tooltips", "icons", "texts"}
    {"event": "unregistered"}                the item left the bus

Commands on standard input, one a line:

    click LABEL     the menu's "clicked" event on the item labelled LABEL (as the bus spells it: "_Quitter")
    activate        a click on the item
    menu            the menu's items again, as {"event": "menu", "menu"}
    tooltip         the tooltip again, as {"event": "tooltip", "tooltip"}
    count SECONDS   counts the item's NewToolTip and NewIcon signals for SECONDS
"""

import json
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"


def say(**event):
    print(json.dumps(event), flush=True)


class Watcher(dbus.service.Object):
    def __init__(self, bus, host):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.host = host
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # A bus name, or an object path on the caller's connection.
        path = "/StatusNotifierItem"
        if service.startswith("/"):
            service, path = sender, service
        self.items.append(service + path)
        self.StatusNotifierItemRegistered(service + path)
        GLib.idle_add(self.host.take, service, path, sender)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    def properties(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()


class Host:
    def __init__(self, bus):
        self.bus = bus
        self.item = None  # (service, path, owner)
        self.counting = None
        for signal in ("NewToolTip", "NewIcon"):
            bus.add_signal_receiver(self.on_signal, signal_name=signal, dbus_interface=ITEM,
                                    sender_keyword="sender", member_keyword="member")
        bus.add_signal_receiver(self.on_owner, signal_name="NameOwnerChanged", dbus_interface="org.freedesktop.DBus")

    def props(self):
        service, path, _ = self.item
        return dbus.Interface(self.bus.get_object(service, path, introspect=False), dbus.PROPERTIES_IFACE)

    def menu_labels(self):
        service, path, _ = self.item
        menu_path = self.props().Get(ITEM, "Menu")
        menu = dbus.Interface(self.bus.get_object(service, menu_path, introspect=False), MENU)
        _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
        labels = []
        for child in layout[2]:
            props = child[1]
            labels.append("-" if props.get("type") == "separator" else str(props.get("label", "")))
        return menu, layout, labels

    def tooltip(self):
        tip = self.props().Get(ITEM, "ToolTip")
        return str(tip[3])

    def take(self, service, path, sender):
        self.item = (service, path, sender)
        props = self.props()
        icon = props.Get(ITEM, "IconPixmap")
        sizes = [[int(p[0]), int(p[1])] for p in icon]
        complete = all(len(p[2]) == 4 * int(p[0]) * int(p[1]) for p in icon)
        _, _, labels = self.menu_labels()
        say(event="registered", id=str(props.Get(ITEM, "Id")), title=str(props.Get(ITEM, "Title")),
            tooltip=self.tooltip(), icon_sizes=sizes, icon_complete=complete, menu=labels)
        return False

    def on_signal(self, sender=None, member=None):
        if not self.item or sender != self.item[2]:
            return
        if self.counting is not None:
            self.counting[member] += 1
        # A panel reads what changed, as real ones do; an item that has just left answers no more.
        if member == "NewToolTip":
            try:
                text = self.tooltip()
                if self.counting is not None:
                    self.counting["texts"].append(text)
            except dbus.DBusException:
                pass

    def on_owner(self, name, old, new):
        # The item's own name or its connection gone: the item has left.
        if self.item and name in (self.item[0], self.item[2]) and not new:
            self.item = None
            say(event="unregistered")

    def command(self, line):
        words = line.split(None, 1)
        if not words:
            return
        verb, rest = words[0], (words[1] if len(words) > 1 else "")
        if not self.item:
            say(event="error", text="no item")
        elif verb == "click":
            menu, layout, labels = self.menu_labels()
            if rest not in labels:
                say(event="error", text=f"no item {rest} in {labels}")
                return
            item_id = layout[2][labels.index(rest)][0]
            menu.Event(item_id, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(int(time.time())))
            say(event="clicked", label=rest)
        elif verb == "activate":
            service, path, _ = self.item
            dbus.Interface(self.bus.get_object(service, path, introspect=False), ITEM).Activate(0, 0)
            say(event="activated")
        elif verb == "menu":
            say(event="menu", menu=self.menu_labels()[2])
        elif verb == "tooltip":
            say(event="tooltip", tooltip=self.tooltip())
        elif verb == "count":
            seconds = float(rest)
            self.counting = {"NewToolTip": 0, "NewIcon": 0, "texts": []}
            started = time.monotonic()

            def done():
                counted, self.counting = self.counting, None
                say(event="counted", seconds=time.monotonic() - started, tooltips=counted["NewToolTip"],
                    icons=counted["NewIcon"], texts=counted["texts"])
                return False

            GLib.timeout_add(int(seconds * 1000), done)
        else:
            say(event="error", text=f"unknown command {verb}")


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    host = Host(bus)
    watcher = Watcher(bus, host)
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    loop = GLib.MainLoop()

    def on_input(source, condition):
        line = sys.stdin.readline()
        if not line:
            loop.quit()
            return False
        try:
            host.command(line.strip())
        except dbus.DBusException as e:
            say(event="error", text=str(e))
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    say(event="ready")
    loop.run()
    del name, watcher


if __name__ == "__main__":
    main()
