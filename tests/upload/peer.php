<?php
// What PHP's own multipart parser read from an upload: every field and every file, with
// the file's SHA-256, as JSON. Answers "success":1 when the parser saw a file.
$files = [];
foreach ($_FILES as $field => $file) {
    $files[$field] = [
        'name' => $file['name'],
        'type' => $file['type'],
        'size' => $file['size'],
        'error' => $file['error'],
        'sha256' => $file['error'] === UPLOAD_ERR_OK ? hash_file('sha256', $file['tmp_name']) : '',
        'crc32' => $file['error'] === UPLOAD_ERR_OK ? hash_file('crc32b', $file['tmp_name']) : '',
        'image' => $file['error'] === UPLOAD_ERR_OK ? array_slice(getimagesize($file['tmp_name']) ?: [], 0, 2) : [],
    ];
}
header('Content-Type: application/json');
echo json_encode([
    'success' => count($files) > 0 ? 1 : 0,
    'post' => (object)$_POST,
    'files' => (object)$files,
    'content_type' => $_SERVER['CONTENT_TYPE'] ?? '',
    'cookie' => $_SERVER['HTTP_COOKIE'] ?? '',
    'agent' => $_SERVER['HTTP_USER_AGENT'] ?? '',
], JSON_UNESCAPED_SLASHES);
