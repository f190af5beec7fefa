/* The run-time registry of attached USB devices: a folder with one small
 * text file per device, written by whoever attaches a device (the MFP
 * simulator) and removed when the device goes. The Still Image service
 * lists and opens its devices from it; the system registry answers a
 * device's "MatchingDeviceId" from it.
 *
 * Folder: $TALLOWMERE_USB_REGISTRY, else $XDG_RUNTIME_DIR/tallowmere-usb,
 * else /tmp/tallowmere-usb-<uid>. Entry files end in ".device" and hold
 * "key=value" lines of UTF-8 text; a line that is empty or starts with "#"
 * is passed over, unknown keys too, and a key given twice makes the entry
 * invalid:
 *   name=<internal device name, 1 to 127 UTF-16 units>
 *   description=<text shown to the user>
 *   hardware-id=<the device's hardware id, may be empty>
 *   socket=<absolute path of the device's Unix socket>
 *   lock=<absolute path of the device's lock file>
 * Texts hold no control characters. An entry appears whole: it is written
 * under another name and renamed. */
#ifndef TALLOWMERE_CONTRACTS_USB_REGISTRY_H
#define TALLOWMERE_CONTRACTS_USB_REGISTRY_H

#define USB_REGISTRY_ENV "TALLOWMERE_USB_REGISTRY"
#define USB_REGISTRY_RUNTIME_FOLDER "tallowmere-usb"     /* under $XDG_RUNTIME_DIR */
#define USB_REGISTRY_FALLBACK_PREFIX "/tmp/tallowmere-usb-" /* then the user id */
#define USB_REGISTRY_ENTRY_SUFFIX ".device"

#define USB_REGISTRY_KEY_NAME "name"
#define USB_REGISTRY_KEY_DESCRIPTION "description"
#define USB_REGISTRY_KEY_HARDWARE_ID "hardware-id"
#define USB_REGISTRY_KEY_SOCKET "socket"
#define USB_REGISTRY_KEY_LOCK "lock"

/* Entry files above this many bytes are not read. */
#define USB_REGISTRY_MAX_ENTRY_BYTES 8192
/* Units of an internal name without its NUL. */
#define USB_REGISTRY_MAX_NAME_UNITS 127
/* Bytes of a socket or lock path: a Unix socket path must fit sockaddr_un. */
#define USB_REGISTRY_MAX_PATH_BYTES 107
/* Entries read from one folder at most. */
#define USB_REGISTRY_MAX_ENTRIES 256

#endif
