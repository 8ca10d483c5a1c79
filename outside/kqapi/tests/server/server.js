// Loopback WebDAV server for the album library's tests.
// Usage: node server.js <user> <password> <quota-bytes>
// Listens on 127.0.0.1 on a free port, makes the album root collection /photos/
// and prints "PORT <n>" once it is ready. Ends when its standard input closes.
'use strict';
const webdav = require('webdav-server').v2;

const [user, password, quota] = process.argv.slice(2);
const users = new webdav.SimpleUserManager();
const account = users.addUser(user, password, false);
const privileges = new webdav.SimplePathPrivilegeManager();
privileges.setRights(account, '/', ['all']);

const server = new webdav.WebDAVServer({
  hostname: '127.0.0.1',
  port: 0,
  httpAuthentication: new webdav.HTTPBasicAuthentication(users, 'albums'),
  privilegeManager: privileges,
  storageManager: new webdav.PerUserStorageManager(Number(quota)),
});

server.rootFileSystem().addSubTree(server.createExternalContext(),
  { photos: webdav.ResourceType.Directory }, (err) => {
    if (err) { console.error('cannot make /photos:', err); process.exit(1); }
    server.start((http) => { console.log('PORT ' + http.address().port); });
  });

process.stdin.on('end', () => process.exit(0));
process.stdin.resume();
