// An HTTPS server on loopback for the HTTPS client's tests: answers every
// request with 200 and the body it was sent, which it also appends to
// RECEIVED-FILE. Writes its port to PORT-FILE.
//   node tls_server.js KEY CERT PORT-FILE RECEIVED-FILE
'use strict';
const fs = require('fs');
const https = require('https');

const [key, cert, portFile, receivedFile] = process.argv.slice(2);
const server = https.createServer({key: fs.readFileSync(key), cert: fs.readFileSync(cert)}, (request, response) => {
    const parts = [];
    request.on('data', (part) => parts.push(part));
    request.on('end', () => {
        fs.appendFileSync(receivedFile, Buffer.concat(parts));
        response.writeHead(200, {'Content-Type': 'text/xml; charset=utf-8'});
        response.end(Buffer.concat(parts));
    });
});
server.listen(0, '127.0.0.1', () => fs.writeFileSync(portFile, String(server.address().port)));
