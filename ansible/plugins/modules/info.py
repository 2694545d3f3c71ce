#!/usr/bin/python
# SPDX-License-Identifier: Apache-2.0
# linkvane.fleet.info: the Linkvane devices of the managed host's LAN, as linkvane-cli finds them.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: info
short_description: List the Linkvane devices that answer on the managed host's LAN
version_added: 0.1.0
description:
  - Runs C(linkvane-cli search) on the managed host and returns the devices that answer its search
    probe.
  - With C(details=true) runs C(linkvane-cli search --details) and C(linkvane-cli export --all) and adds
    each device's window, model, version and settings, or why its configuration could not be read.
  - Reads only; nothing is sent that changes a device.
  - The search is a broadcast and stays inside the LAN, so run the module on a host of each site.
options:
  cli:
    description: Path of C(linkvane-cli) on the managed host; by default the one on C(PATH).
    type: path
  port:
    description: Command port of the devices (the CLI's default is 65535).
    type: int
  broadcast:
    description: Where the commands go (the CLI's default is 255.255.255.255).
    type: str
  interface:
    description: The network interface the search and the commands keep to, or C(all).
    type: str
  password:
    description:
      - Setup password sent with the configuration requests of C(details=true).
      - Handed to the CLI on its standard input, never on its command line; a password with a line
        break is refused.
    type: str
  timeout:
    description: How long to wait for a device's answer, in milliseconds.
    type: int
  wait:
    description: How long the search listens for answers, in milliseconds.
    type: int
  details:
    description:
      - Also ask every device for its configuration and return its window, model, version and
        settings.
      - Secrets in the settings come as C(***).
    type: bool
    default: false
  roles:
    description:
      - With C(details=true), name each setting by its role (C(ip), C(deviceId), C(port1.baud), ...)
        where it has one, as C(linkvane-cli export --roles) does, so that the settings read from one
        device family can be planned for another.
    type: bool
    default: false
notes:
  - Supports check mode (the module only reads).
requirements:
  - linkvane-cli on the managed host
author:
  - Linkvane developers
'''

EXAMPLES = r'''
- name: Devices of this site
  linkvane.fleet.info:
    wait: 1500
  register: found

- name: Settings of every device, named by role
  linkvane.fleet.info:
    details: true
    roles: true
    password: "{{ vault_linkvane_password }}"
  register: inventory

- name: Addresses of the devices
  ansible.builtin.debug:
    msg: "{{ found.devices | map(attribute='ip') | list }}"
'''

RETURN = r'''
devices:
  description:
    - The devices that answered, as C(linkvane-cli search --json) lists them.
    - With C(details=true) each also has C(window), C(model), C(version) and C(settings) (a dict of
      field name to value), or C(error) when its configuration could not be read.
  returned: always
  type: list
  elements: dict
  sample:
    - mac: 00-50-C2-00-00-01
      macField: 0.80.194.0.0.1
      ip: 192.168.1.1
      deviceId: DEV0001
      conflict: false
'''

from ansible_collections.linkvane.fleet.plugins.module_utils.linkvane import FleetModule

# search --details and export exit with this status when some devices did not answer their
# configuration request; their JSON still holds every device (search) or those that did (export).
EXIT_NO_ANSWER = 3

SEARCH = [dict]
EXPORT = {'devices': [{'set': dict}]}


def add_details(module, devices):
    """The window and settings of each device from export; for a device export could not read, the
    reason search --details gave."""
    args = ['export', '--all'] + (['--roles'] if module.params['roles'] else [])
    _, exported, _ = module.run_cli(args, ok_codes=(0, EXIT_NO_ANSWER), shape=EXPORT)
    by_mac = dict((d.get('device'), d) for d in exported.get('devices') or [])
    for device in devices:
        found = by_mac.get(device.get('mac'))
        # What search --details said is kept only where it is something.
        for key in ('model', 'version', 'error'):
            if device.get(key) is None:
                device.pop(key, None)
        if found is None:
            device['error'] = device.get('error') or 'its configuration was not read'
            continue
        device.pop('error', None)
        device['settings'] = found.get('set') or {}
        for key in ('window', 'model', 'version'):
            if key in found:
                device[key] = found[key]


def main():
    module = FleetModule(dict(details=dict(type='bool', default=False), roles=dict(type='bool', default=False)),
                         supports_check_mode=True)
    if module.params['details']:
        # The search asks each device for its configuration too, so that a device export cannot read
        # comes with the reason in JSON.
        _, devices, _ = module.run_cli(['search', '--details'], ok_codes=(0, EXIT_NO_ANSWER), shape=SEARCH)
        add_details(module, devices)
    else:
        _, devices, _ = module.run_cli(['search'], shape=SEARCH)
    module.exit_json(changed=False, devices=devices)


if __name__ == '__main__':
    main()
